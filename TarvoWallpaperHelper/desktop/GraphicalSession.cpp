#include "GraphicalSession.hpp"

#include <cstdlib>
#include <vector>

#include "SystemLog.hpp"

namespace lumivo {
namespace {

struct HeldMessage {
    QtMsgType type;
    std::string category;
    QString text;
};

// Qt's messages while the application is built: held back until it is clear
// whether they lead up to a failure, whose one line then says it all.
QtMessageHandler previousHandler = nullptr;
std::vector<HeldMessage> heldMessages;

void holdDuringStart(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtFatalMsg) {
        heldMessages.push_back(
            {type, context.category != nullptr ? context.category : "default", text});
        return;
    }
    // Qt aborts once this returns, so the process ends here.
    const bool noPlatform = text.contains(QStringLiteral("platform plugin"));
    SystemLog().log("Cannot start: " + (noPlatform ? GraphicalSession::failure()
                                                   : text.section('\n', 0, 0).toStdString()));
    std::_Exit(1);
}

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

std::unique_ptr<QApplication> GraphicalSession::open(int& argc, char** argv) {
    previousHandler = qInstallMessageHandler(holdDuringStart);
    auto application = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previousHandler);
    for (const HeldMessage& message : heldMessages) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.c_str());
        previousHandler(message.type, context, message.text);
    }
    heldMessages.clear();
    return application;
}

std::string GraphicalSession::failure() {
    std::string named;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        if (const std::string value = variable(name); !value.empty()) {
            named += (named.empty() ? "" : ", ") + std::string(name) + "=" + value;
        }
    }
    if (named.empty()) {
        return "no graphical session was found: neither DISPLAY nor WAYLAND_DISPLAY is set";
    }
    return "no graphical session was found: " + named + " cannot be opened";
}

}  // namespace lumivo
