#include "PlasmaOutputs.hpp"

#include <algorithm>

#include "FrameRing.hpp"
#include "HelperError.hpp"

namespace lumivo {
namespace {

Monitor monitorOf(const PlasmaDesktop& desktop) {
    return {"Plasma screen " + std::to_string(desktop.screen), desktop.geometry,
            desktop.screen == 0};
}

}  // namespace

PlasmaOutputs::PlasmaOutputs(std::shared_ptr<PlasmaDesktops> desktops,
                             const std::string& socketPath)
    : desktops_(std::move(desktops)) {
    listed_ = onScreens(desktops_->list());
    if (listed_.empty()) {
        throw HelperError::noMainScreen();
    }
    server_ = std::make_shared<FrameServer>(socketPath);
    connect(server_.get(), &FrameServer::desktopsChanged, this, &PlasmaOutputs::desktopsChanged);
    connect(server_.get(), &FrameServer::coveredChanged, this, &Outputs::hiddenChanged);
}

PlasmaOutputs::~PlasmaOutputs() {
    // Also those an earlier run left: the user gets every desktop back.
    desktops_->giveBackAll();
}

std::vector<PlasmaDesktop> PlasmaOutputs::onScreens(const PlasmaScript::Listing& listing) {
    std::vector<PlasmaDesktop> result;
    for (const PlasmaDesktop& desktop : listing.desktops) {
        if (desktop.screen >= 0 && !desktop.geometry.empty()) {
            result.push_back(desktop);
        }
    }
    std::sort(result.begin(), result.end(),
              [](const auto& a, const auto& b) { return a.screen < b.screen; });
    return result;
}

std::vector<Monitor> PlasmaOutputs::monitors() const {
    std::vector<Monitor> result;
    for (const PlasmaDesktop& desktop : listed_) {
        result.push_back(monitorOf(desktop));
    }
    return result;
}

std::vector<Output*> PlasmaOutputs::showOn(const std::vector<std::size_t>& monitors) {
    std::vector<long long> wanted;
    for (std::size_t index : monitors) {
        wanted.push_back(listed_.at(index).id);
    }
    retired_ = std::move(shown_);
    shown_.clear();
    for (const auto& old : retired_) {
        if (std::find(wanted.begin(), wanted.end(), old->desktop()) == wanted.end()) {
            server_->clear(old->desktop());
            desktops_->giveBack(old->desktop());
        }
    }
    std::vector<Output*> result;
    for (std::size_t index : monitors) {
        const PlasmaDesktop& desktop = listed_.at(index);
        const bool already =
            std::any_of(retired_.begin(), retired_.end(),
                        [&desktop](const auto& old) { return old->desktop() == desktop.id; });
        if (!already) {
            desktops_->use(desktop.id);
        }
        shown_.push_back(std::make_unique<PlasmaOutput>(monitorOf(desktop), desktop.id, server_));
        result.push_back(shown_.back().get());
    }
    return result;
}

std::vector<bool> PlasmaOutputs::hidden() const {
    std::vector<bool> result;
    for (const auto& output : shown_) {
        result.push_back(server_->covered(output->desktop()));
    }
    return result;
}

std::unique_ptr<FrameBuffer> PlasmaOutputs::createFrameBuffer(int width, int height) {
    // Only the desktops of the last showOn: a retired one shows nothing more.
    auto find = [this](const Output& output) -> const PlasmaOutput* {
        for (const auto& shown : shown_) {
            if (shown.get() == &output) {
                return shown.get();
            }
        }
        return nullptr;
    };
    return std::make_unique<FrameRing>(nextCanvas_++, width, height, server_, std::move(find));
}

void PlasmaOutputs::desktopsChanged() {
    // A desktop that connected wants the current frame at once.
    emit hiddenChanged();
    emit redrawNeeded();
    // One that Plasma did not list before means its screens changed.
    const std::set<long long> connected = server_->desktops();
    const bool unknown = std::any_of(connected.begin(), connected.end(), [this](long long id) {
        return std::none_of(listed_.begin(), listed_.end(),
                            [id](const PlasmaDesktop& d) { return d.id == id; });
    });
    if (!unknown) {
        return;
    }
    try {
        std::vector<PlasmaDesktop> listed = onScreens(desktops_->list());
        if (!listed.empty() && listed != listed_) {
            listed_ = std::move(listed);
            emit monitorsChanged();
        }
    } catch (const std::exception& error) {
        emit lost(QString::fromStdString(error.what()));
    }
}

}  // namespace lumivo
