#include "LayerShellOutputs.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "HelperError.hpp"
#include "WaylandRoundTrip.hpp"

namespace lumivo {
namespace {

constexpr int connectTimeoutMs = 2000;

template <typename T>
T* bind(wl_registry* registry, uint32_t name, const wl_interface& interface, uint32_t version) {
    return static_cast<T*>(wl_registry_bind(registry, name, &interface, version));
}

}  // namespace

LayerShellOutputs::LayerShellOutputs(const std::optional<std::string>& display) {
    const char* name = display ? display->c_str() : std::getenv("WAYLAND_DISPLAY");
    if (name != nullptr && *name != '\0') {
        display_.reset(wl_display_connect(name));
    }
    if (!display_) {
        throw HelperError::noMainScreen();
    }
    registry_.reset(wl_display_get_registry(display_.get()));
    wl_registry_add_listener(registry_.get(), &registryListener, this);
    if (!waylandRoundTrip(display_.get(), connectTimeoutMs) || !compositor_ || !shm_ ||
        !layerShell_) {
        throw HelperError::noMainScreen();
    }
    for (auto& screen : screens_) {
        screen.output->describeWith(xdgOutputs_.get());
    }
    dispatcher_ = std::make_unique<WaylandDispatcher>(display_.get());
    connect(dispatcher_.get(), &WaylandDispatcher::connectionLost, this,
            &LayerShellOutputs::connectionLost);
}

LayerShellOutputs::~LayerShellOutputs() {
    screens_.clear();
    if (dispatcher_) {
        dispatcher_->pump();  // the last destroy requests leave
    }
}

const wl_registry_listener LayerShellOutputs::registryListener = {
    .global =
        [](void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version) {
            static_cast<LayerShellOutputs*>(data)->addGlobal(name, interface, version);
        },
    .global_remove =
        [](void* data, wl_registry*, uint32_t name) {
            static_cast<LayerShellOutputs*>(data)->removeGlobal(name);
        },
};

void LayerShellOutputs::addGlobal(uint32_t name, const char* interface, uint32_t version) {
    auto is = [&](const wl_interface& known) { return std::strcmp(interface, known.name) == 0; };
    wl_registry* registry = registry_.get();
    if (is(wl_output_interface)) {
        addOutput(name, version);
    } else if (is(wl_compositor_interface) && !compositor_ && version >= 4) {
        compositor_.reset(bind<wl_compositor>(registry, name, wl_compositor_interface, 4));
    } else if (is(wl_shm_interface) && !shm_) {
        shm_.reset(bind<wl_shm>(registry, name, wl_shm_interface, 1));
    } else if (is(zwlr_layer_shell_v1_interface) && !layerShell_) {
        layerShell_.reset(bind<zwlr_layer_shell_v1>(registry, name, zwlr_layer_shell_v1_interface,
                                                    std::min(version, 4u)));
    } else if (is(wp_viewporter_interface) && !viewporter_) {
        viewporter_.reset(bind<wp_viewporter>(registry, name, wp_viewporter_interface, 1));
    } else if (is(zxdg_output_manager_v1_interface) && !xdgOutputs_) {
        xdgOutputs_.reset(bind<zxdg_output_manager_v1>(
            registry, name, zxdg_output_manager_v1_interface, std::min(version, 3u)));
    }
}

void LayerShellOutputs::addOutput(uint32_t name, uint32_t version) {
    Screen screen;
    screen.output = std::make_unique<WaylandOutput>(registry_.get(), name, version);
    screen.output->onChanged([this, name] {
        auto it = std::find_if(screens_.begin(), screens_.end(), [&](const Screen& s) {
            return s.output->info().globalName == name;
        });
        if (it != screens_.end()) {
            outputChanged(*it);
        }
    });
    // Before the first round trip the manager may still be on its way; the
    // constructor asks for these outputs' descriptions once it is there.
    screen.output->describeWith(xdgOutputs_.get());
    screens_.push_back(std::move(screen));
}

void LayerShellOutputs::outputChanged(Screen& screen) {
    if (!screen.surface && screen.output->info().described()) {
        const uint32_t global = screen.output->info().globalName;
        LayerShellGlobals globals{compositor_.get(), shm_.get(), layerShell_.get(),
                                  viewporter_.get()};
        screen.surface = std::make_unique<LayerSurface>(
            globals, screen.output->output(), screen.output->info().scale,
            LayerSurface::Events{
                .configured = [this] { changed(); },
                .frameWanted = [this, global] { surfaceWantsFrame(global); },
                .closed = [this, global] { surfaceClosed(global); },
            });
    }
    changed();
}

void LayerShellOutputs::removeGlobal(uint32_t name) {
    auto it = std::find_if(screens_.begin(), screens_.end(),
                           [&](const Screen& s) { return s.output->info().globalName == name; });
    if (it != screens_.end()) {
        screens_.erase(it);
        changed();
    }
}

void LayerShellOutputs::surfaceWantsFrame(uint32_t globalName) {
    for (const auto& screen : screens_) {
        if (screen.output->info().globalName == globalName && frameWanted) {
            frameWanted(screen.output->info().name);
            return;
        }
    }
}

void LayerShellOutputs::surfaceClosed(uint32_t globalName) {
    for (auto& screen : screens_) {
        if (screen.output->info().globalName == globalName) {
            // A new surface follows when the output next changes, not at once:
            // a compositor that closes every surface it gets would spin.
            say("The compositor closed the wallpaper surface on " + screen.output->info().name +
                ".");
            screen.surface.reset();
            changed();
            return;
        }
    }
}

void LayerShellOutputs::connectionLost(const QString& reason) {
    say("Lost the connection to the Wayland compositor (" + reason.toStdString() +
        "); the wallpaper stays off until it is applied again.");
    screens_.clear();
    changed();
}

std::vector<FrameOutputs::Output> LayerShellOutputs::outputs() const {
    std::vector<Output> result;
    for (const auto& screen : screens_) {
        if (screen.surface && screen.surface->configured()) {
            const auto& info = screen.output->info();
            result.push_back({info.name, info.x, info.y, screen.surface->width(),
                              screen.surface->height(), info.scale});
        }
    }
    return result;
}

LayerShellOutputs::Screen* LayerShellOutputs::find(const std::string& name) {
    for (auto& screen : screens_) {
        if (screen.surface && screen.output->info().name == name) {
            return &screen;
        }
    }
    return nullptr;
}

void LayerShellOutputs::present(const std::string& output, const SoftwareFrame& frame,
                                const FrameCrop& crop) {
    if (Screen* screen = find(output)) {
        screen->surface->present(frame, crop);
    }
}

void LayerShellOutputs::say(const std::string& line) const {
    if (log) {
        log(line);
    }
}

void LayerShellOutputs::changed() const {
    if (outputsChanged) {
        outputsChanged();
    }
}

}  // namespace lumivo
