#include "ForeignToplevels.hpp"

#include <algorithm>

namespace lumivo {
namespace {

// Whether a `state` array makes the window hide what lies below it.
bool coveringState(const wl_array* states) {
    bool active = false, large = false, minimised = false;
    const auto* state = static_cast<const uint32_t*>(states->data);
    for (std::size_t i = 0; i < states->size / sizeof(uint32_t); ++i) {
        switch (state[i]) {
            case ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED:
                active = true;
                break;
            case ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MAXIMIZED:
            case ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_FULLSCREEN:
                large = true;
                break;
            case ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MINIMIZED:
                minimised = true;
                break;
            default:
                break;
        }
    }
    return active && large && !minimised;
}

}  // namespace

ForeignToplevels::ForeignToplevels(wl_registry* registry, uint32_t name, uint32_t version,
                                   std::function<void()> changed)
    : changed_(std::move(changed)),
      manager_(static_cast<zwlr_foreign_toplevel_manager_v1*>(wl_registry_bind(
          registry, name, &zwlr_foreign_toplevel_manager_v1_interface, std::min(version, 3u)))) {
    zwlr_foreign_toplevel_manager_v1_add_listener(manager_.get(), &managerListener, this);
}

ForeignToplevels::~ForeignToplevels() = default;

bool ForeignToplevels::covers(const wl_output* output) const {
    return std::any_of(toplevels_.begin(), toplevels_.end(), [&](const auto& t) {
        return t->covering &&
               std::find(t->outputs.begin(), t->outputs.end(), output) != t->outputs.end();
    });
}

void ForeignToplevels::remove(Toplevel* toplevel) {
    const bool mattered = toplevel->covering;
    std::erase_if(toplevels_, [&](const auto& t) { return t.get() == toplevel; });
    if (mattered && changed_) {
        changed_();
    }
}

const zwlr_foreign_toplevel_manager_v1_listener ForeignToplevels::managerListener = {
    .toplevel =
        [](void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle) {
            auto* self = static_cast<ForeignToplevels*>(data);
            auto toplevel = std::make_unique<Toplevel>();
            toplevel->owner = self;
            toplevel->handle.reset(handle);
            zwlr_foreign_toplevel_handle_v1_add_listener(handle, &handleListener, toplevel.get());
            self->toplevels_.push_back(std::move(toplevel));
        },
    .finished = [](void*, zwlr_foreign_toplevel_manager_v1*) {},
};

const zwlr_foreign_toplevel_handle_v1_listener ForeignToplevels::handleListener = {
    .title = [](void*, zwlr_foreign_toplevel_handle_v1*, const char*) {},
    .app_id = [](void*, zwlr_foreign_toplevel_handle_v1*, const char*) {},
    .output_enter =
        [](void* data, zwlr_foreign_toplevel_handle_v1*, wl_output* output) {
            static_cast<Toplevel*>(data)->outputs.push_back(output);
        },
    .output_leave =
        [](void* data, zwlr_foreign_toplevel_handle_v1*, wl_output* output) {
            std::erase(static_cast<Toplevel*>(data)->outputs, output);
        },
    .state =
        [](void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states) {
            static_cast<Toplevel*>(data)->pending = coveringState(states);
        },
    .done =
        [](void* data, zwlr_foreign_toplevel_handle_v1*) {
            // Outputs and state arrive before `done`; an output change alone
            // can matter too, so every `done` of a covering window reports.
            auto* toplevel = static_cast<Toplevel*>(data);
            const bool before = toplevel->covering;
            toplevel->covering = toplevel->pending;
            if ((before || toplevel->covering) && toplevel->owner->changed_) {
                toplevel->owner->changed_();
            }
        },
    .closed =
        [](void* data, zwlr_foreign_toplevel_handle_v1*) {
            auto* toplevel = static_cast<Toplevel*>(data);
            toplevel->owner->remove(toplevel);
        },
    .parent = [](void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {},
};

}  // namespace lumivo
