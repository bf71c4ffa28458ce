#include "GuiThread.hpp"

#include <QCoreApplication>
#include <QThread>

namespace lumivo {

void requireGuiThread(const char* entryPoint) {
    const auto* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() != app->thread()) {
        qFatal("%s called off the GUI thread", entryPoint);
    }
}

}  // namespace lumivo
