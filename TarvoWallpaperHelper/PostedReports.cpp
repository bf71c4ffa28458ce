#include "PostedReports.hpp"

#include <QMetaObject>

namespace lumivo {

void PostedReports::log(const std::string& message) {
    QMetaObject::invokeMethod(
        context_, [sink = log_, message] { sink(message); }, Qt::QueuedConnection);
}

void PostedReports::downloadProgress(const std::string& title, int percent) {
    QMetaObject::invokeMethod(
        context_, [sink = progress_, title, percent] { sink(title, percent); },
        Qt::QueuedConnection);
}

}  // namespace lumivo
