#include "LayerShellOutputs.hpp"

#include <QPointer>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "HelperError.hpp"
#include "ShmFrameBuffer.hpp"
#include "WaylandRoundTrip.hpp"

namespace lumivo {
namespace {

constexpr int connectTimeoutMs = 2000;
constexpr unsigned eglPlatformWayland = 0x31D8;  // EGL_PLATFORM_WAYLAND_KHR

template <typename T>
T* bind(wl_registry* registry, uint32_t name, const wl_interface& interface, uint32_t version) {
    return static_cast<T*>(wl_registry_bind(registry, name, &interface, version));
}

}  // namespace

LayerShellOutputs::LayerShellOutputs(const std::optional<std::string>& display,
                                     std::string mainOutput, WallpaperSurfaces surfaces)
    : mainOutput_(std::move(mainOutput)), surfaces_(surfaces) {
    const char* name = display ? display->c_str() : std::getenv("WAYLAND_DISPLAY");
    if (name != nullptr && *name != '\0') {
        display_ = std::make_shared<WaylandDisplay>(wl_display_connect(name));
    }
    if (!display_ || !*display_) {
        throw HelperError::noMainScreen();
    }
    wl_display* connection = display_->get();
    registry_.reset(wl_display_get_registry(connection));
    wl_registry_add_listener(registry_.get(), &registryListener, this);
    if (!waylandRoundTrip(connection, connectTimeoutMs) || !compositor_ || !shm_ ||
        !(surfaces_ == WallpaperSurfaces::shellToplevels ? wmBase_ != nullptr
                                                         : layerShell_ != nullptr)) {
        throw HelperError::noMainScreen();
    }
    for (auto& output : outputs_) {
        output->describeWith(xdgOutputs_.get());
    }
    // Names and layout of the outputs there are now, so that the first
    // monitors() already lists them.
    if (!waylandRoundTrip(connection, connectTimeoutMs)) {
        throw HelperError::noMainScreen();
    }
    reported_ = monitors();
    dispatcher_ = std::make_unique<WaylandDispatcher>(connection);
    connect(dispatcher_.get(), &WaylandDispatcher::connectionLost, this,
            &LayerShellOutputs::connectionLost);
}

LayerShellOutputs::~LayerShellOutputs() {
    shown_.clear();
    retired_.clear();
    toplevels_.reset();
    outputs_.clear();
    if (dispatcher_) {
        dispatcher_->pump();  // the last destroy requests leave now
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

// The Shell checks that a client still answers, or counts it as hung.
const xdg_wm_base_listener LayerShellOutputs::wmBaseListener = {
    .ping = [](void*, xdg_wm_base* base, uint32_t serial) { xdg_wm_base_pong(base, serial); },
};

void LayerShellOutputs::addGlobal(uint32_t name, const char* interface, uint32_t version) {
    auto is = [&](const wl_interface& known) { return std::strcmp(interface, known.name) == 0; };
    wl_registry* registry = registry_.get();
    if (is(wl_output_interface)) {
        outputs_.push_back(std::make_unique<WaylandOutput>(registry, name, version));
        outputs_.back()->onChanged([this, name] { outputDescribed(name); });
        // Before the first round trip the manager may still be on its way;
        // the constructor asks again once it is there.
        outputs_.back()->describeWith(xdgOutputs_.get());
    } else if (is(wl_compositor_interface) && !compositor_ && version >= 4) {
        compositor_.reset(bind<wl_compositor>(registry, name, wl_compositor_interface, 4));
    } else if (is(wl_shm_interface) && !shm_) {
        shm_.reset(bind<wl_shm>(registry, name, wl_shm_interface, 1));
    } else if (is(zwlr_layer_shell_v1_interface) && !layerShell_ &&
               surfaces_ != WallpaperSurfaces::shellToplevels) {
        layerShell_.reset(bind<zwlr_layer_shell_v1>(registry, name, zwlr_layer_shell_v1_interface,
                                                    std::min(version, 4u)));
    } else if (is(xdg_wm_base_interface) && !wmBase_ &&
               surfaces_ == WallpaperSurfaces::shellToplevels) {
        wmBase_.reset(bind<xdg_wm_base>(registry, name, xdg_wm_base_interface, 1));
        xdg_wm_base_add_listener(wmBase_.get(), &wmBaseListener, this);
    } else if (is(wp_viewporter_interface) && !viewporter_) {
        viewporter_.reset(bind<wp_viewporter>(registry, name, wp_viewporter_interface, 1));
    } else if (is(zxdg_output_manager_v1_interface) && !xdgOutputs_) {
        xdgOutputs_.reset(bind<zxdg_output_manager_v1>(
            registry, name, zxdg_output_manager_v1_interface, std::min(version, 3u)));
    } else if (is(zwlr_foreign_toplevel_manager_v1_interface) && !toplevels_) {
        toplevels_ = std::make_unique<ForeignToplevels>(registry, name, version,
                                                        [this] { emit hiddenChanged(); });
    } else if (std::strcmp(interface, "zwp_linux_dmabuf_v1") == 0 ||
               std::strcmp(interface, "wl_drm") == 0) {
        gpuBuffers_ = true;
    }
}

void LayerShellOutputs::removeGlobal(uint32_t name) {
    auto it = std::find_if(outputs_.begin(), outputs_.end(),
                           [&](const auto& o) { return o->info().globalName == name; });
    if (it == outputs_.end()) {
        return;
    }
    for (auto& shown : shown_) {
        if (shown.global == name) {
            shown.output->detach();  // the player keeps its pointer until showOn
        }
    }
    outputs_.erase(it);
    reportMonitors();
}

void LayerShellOutputs::outputDescribed(uint32_t global) {
    for (auto& shown : shown_) {
        if (shown.global == global) {
            if (auto monitor = monitorOf(*find(global))) {
                shown.output->setMonitor(*monitor, find(global)->info().scale);
            }
        }
    }
    reportMonitors();
}

void LayerShellOutputs::reportMonitors() {
    // The compositor repeats descriptions (a done per xdg_output and per
    // wl_output); each change is told once.
    auto now = monitors();
    if (now != reported_) {
        reported_ = std::move(now);
        emit monitorsChanged();
    }
}

std::optional<Monitor> LayerShellOutputs::monitorOf(const WaylandOutput& output) const {
    const WaylandOutputInfo& info = output.info();
    if (!info.described()) {
        return std::nullopt;
    }
    // Positions stay logical, the compositor's layout; sizes are pixels, what
    // a canvas needs to be shown pixel for pixel.
    const int scale = std::max(info.scale, 1);
    Monitor monitor{info.name,
                    {info.x, info.y, info.logicalWidth * scale, info.logicalHeight * scale},
                    !mainOutput_.empty() && info.name == mainOutput_};
    return monitor;
}

WaylandOutput* LayerShellOutputs::find(uint32_t global) const {
    for (const auto& output : outputs_) {
        if (output->info().globalName == global) {
            return output.get();
        }
    }
    return nullptr;
}

std::vector<Monitor> LayerShellOutputs::monitors() const {
    std::vector<Monitor> result;
    for (const auto& output : outputs_) {
        if (auto monitor = monitorOf(*output)) {
            result.push_back(*monitor);
        }
    }
    return result;
}

std::vector<Output*> LayerShellOutputs::showOn(const std::vector<std::size_t>& indices) {
    retired_.clear();
    // The described outputs, indexed as monitors() lists them.
    std::vector<WaylandOutput*> listed;
    for (const auto& output : outputs_) {
        if (output->info().described()) {
            listed.push_back(output.get());
        }
    }
    std::vector<Shown> kept;
    std::vector<Output*> result;
    for (std::size_t index : indices) {
        if (index >= listed.size()) {
            continue;
        }
        WaylandOutput& output = *listed[index];
        const uint32_t global = output.info().globalName;
        // A surface the compositor closed is made anew here, on the next
        // layout, rather than at once: a compositor that closes every one
        // would otherwise get a new one in a loop.
        auto old = std::find_if(shown_.begin(), shown_.end(), [&](const Shown& s) {
            return s.global == global && s.output && s.output->attached();
        });
        if (old != shown_.end()) {
            kept.push_back(std::move(*old));
        } else {
            LayerShellGlobals globals{compositor_.get(), shm_.get(), layerShell_.get(),
                                      viewporter_.get(), wmBase_.get(),
                                      surfaces_ == WallpaperSurfaces::bottomLayer};
            auto surface = std::make_unique<LayerShellOutput>(
                globals, output.output(), *monitorOf(output), output.info().scale,
                LayerShellOutput::Events{
                    .redrawNeeded = [this] { emit redrawNeeded(); },
                    .closed =
                        [this, global] {
                            WaylandOutput* closed = find(global);
                            emit lost(QStringLiteral("the compositor closed the wallpaper "
                                                     "surface on %1")
                                          .arg(QString::fromStdString(closed ? closed->info().name
                                                                             : "an output")));
                        },
                    .hiddenChanged = [this] { emit hiddenChanged(); },
                });
            kept.push_back({global, std::move(surface)});
        }
        result.push_back(kept.back().output.get());
    }
    for (auto& shown : shown_) {
        if (shown.output) {
            shown.output->detach();
            retired_.push_back(std::move(shown.output));
        }
    }
    shown_ = std::move(kept);
    return result;
}

std::vector<bool> LayerShellOutputs::hidden() const {
    std::vector<bool> flags;
    for (const auto& shown : shown_) {
        const WaylandOutput* output = find(shown.global);
        flags.push_back(shown.output->hidden() ||
                        (toplevels_ && output && toplevels_->covers(output->output())));
    }
    return flags;
}

std::unique_ptr<FrameBuffer> LayerShellOutputs::createFrameBuffer(int width, int height) {
    // The canvas may outlive this backend (it holds the connection open), and
    // shows itself on this backend's surfaces only, none once it is gone.
    const QPointer<LayerShellOutputs> self(this);
    return std::make_unique<ShmFrameBuffer>(display_, shm_.get(), width, height,
                                            [self](const Output& output) -> LayerShellOutput* {
                                                if (self) {
                                                    for (const Shown& shown : self->shown_) {
                                                        if (shown.output.get() == &output) {
                                                            return shown.output.get();
                                                        }
                                                    }
                                                }
                                                return nullptr;
                                            });
}

bool LayerShellOutputs::connected() const {
    return !dispatcher_->isLost() && wl_display_get_error(display_->get()) == 0;
}

EglNativeDisplay LayerShellOutputs::eglDisplay() const {
    return {eglPlatformWayland, display_->get(), 0};
}

void LayerShellOutputs::connectionLost(const QString& reason) {
    for (auto& shown : shown_) {
        shown.output->detach();
    }
    toplevels_.reset();
    outputs_.clear();
    emit lost(QStringLiteral("lost the connection to the Wayland compositor (%1)").arg(reason));
    reportMonitors();
}

}  // namespace lumivo
