#include "PlasmaDesktops.hpp"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <sstream>
#include <stdexcept>

namespace lumivo {
namespace {

// A remembered wallpaper as readWallpaper printed it: {"plugin": "<id>", "config": {}}.
bool wellFormed(const std::string& saved) {
    QJsonParseError error{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromStdString(saved), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return false;
    }
    const QJsonObject object = document.object();
    return object.value("plugin").isString() && !object.value("plugin").toString().isEmpty() &&
           object.value("config").isObject();
}

std::string pluginOf(const std::string& saved) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(saved))
        .object()
        .value("plugin")
        .toString()
        .toStdString();
}

}  // namespace

PlasmaDesktops::PlasmaDesktops(Evaluate evaluate, SettingsStoring& settings, LogLine log)
    : evaluate_(std::move(evaluate)), settings_(settings), log_(std::move(log)) {}

std::optional<PlasmaDesktops::Evaluate> PlasmaDesktops::sessionShell() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr ||
        !bus.interface()->isServiceRegistered("org.kde.plasmashell").value()) {
        return std::nullopt;
    }
    return [bus](const std::string& script) {
        QDBusMessage call = QDBusMessage::createMethodCall("org.kde.plasmashell", "/PlasmaShell",
                                                           "org.kde.PlasmaShell", "evaluateScript");
        call << QString::fromStdString(script);
        // Putting a wallpaper on a desktop loads its QML before the answer.
        const QDBusMessage reply = QDBusConnection(bus).call(call, QDBus::Block, 10000);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            throw std::runtime_error("plasmashell did not run the desktop script: " +
                                     reply.errorMessage().toStdString());
        }
        return reply.arguments().at(0).toString().toStdString();
    };
}

PlasmaScript::Listing PlasmaDesktops::list() const {
    const auto listing = PlasmaScript::parseListing(evaluate_(PlasmaScript::listDesktops()));
    if (!listing) {
        throw std::runtime_error("plasmashell listed its desktops in an unknown form");
    }
    return *listing;
}

void PlasmaDesktops::use(long long desktop) {
    std::string printed = evaluate_(PlasmaScript::readWallpaper(desktop));
    while (!printed.empty() && printed.back() == '\n') {
        printed.pop_back();
    }
    if (printed.empty()) {
        throw std::runtime_error("plasmashell has no desktop " + std::to_string(desktop));
    }
    std::vector<long long> ids = remembered();
    const bool kept = std::find(ids.begin(), ids.end(), desktop) != ids.end() &&
                      settings_.text(key(desktop)).has_value();
    // Kept before the desktop changes, so that a helper that dies at any
    // moment leaves what is needed to give it back. A desktop that shows the
    // package already (left by a run that did not end well) must not have
    // the package remembered as its own wallpaper.
    if (!kept && wellFormed(printed) && pluginOf(printed) != PlasmaScript::pluginId) {
        settings_.setText(key(desktop), printed);
        ids.push_back(desktop);
        setRemembered(ids);
    }
    if (evaluate_(PlasmaScript::showPackage(desktop)).empty()) {
        throw std::runtime_error("plasmashell has no desktop " + std::to_string(desktop));
    }
}

void PlasmaDesktops::giveBack(long long desktop) {
    std::vector<long long> ids = remembered();
    const auto at = std::find(ids.begin(), ids.end(), desktop);
    if (at == ids.end()) {
        return;
    }
    std::string saved = settings_.text(key(desktop)).value_or(std::string());
    if (!wellFormed(saved)) {
        // Better Plasma's default picture than a desktop left black.
        log_("The remembered wallpaper of Plasma desktop " + std::to_string(desktop) +
             " is damaged; it gets Plasma's default wallpaper");
        saved = R"({"plugin":"org.kde.image","config":{}})";
    }
    try {
        evaluate_(PlasmaScript::giveBack(desktop, saved));
    } catch (const std::exception& error) {
        log_("Cannot give Plasma desktop " + std::to_string(desktop) +
             " its wallpaper back: " + error.what());
        return;
    }
    settings_.remove(key(desktop));
    ids.erase(at);
    setRemembered(ids);
}

void PlasmaDesktops::giveBackAll() {
    for (long long desktop : remembered()) {
        giveBack(desktop);
    }
}

std::vector<long long> PlasmaDesktops::remembered() const {
    std::vector<long long> ids;
    std::istringstream words(settings_.text("plasmaDesktops/ids").value_or(std::string()));
    for (std::string word; words >> word;) {
        try {
            std::size_t used = 0;
            const long long id = std::stoll(word, &used);
            if (used == word.size() && id >= 0 &&
                std::find(ids.begin(), ids.end(), id) == ids.end()) {
                ids.push_back(id);
            }
        } catch (const std::exception&) {
            // a damaged id is skipped
        }
    }
    return ids;
}

void PlasmaDesktops::setRemembered(const std::vector<long long>& ids) {
    if (ids.empty()) {
        settings_.remove("plasmaDesktops");
        return;
    }
    std::string text;
    for (long long id : ids) {
        if (!text.empty()) {
            text += ' ';
        }
        text += std::to_string(id);
    }
    settings_.setText("plasmaDesktops/ids", text);
}

std::string PlasmaDesktops::key(long long desktop) {
    return "plasmaDesktops/" + std::to_string(desktop);
}

}  // namespace lumivo
