#include "DesktopBrowser.hpp"

#include <QDesktopServices>
#include <QUrl>

#include "GuiThread.hpp"

namespace lumivo {

void DesktopBrowser::open(const Url& page) {
    requireGuiThread("DesktopBrowser::open");
    QDesktopServices::openUrl(
        QUrl::fromEncoded(QByteArray::fromStdString(page.absoluteString()), QUrl::StrictMode));
}

}  // namespace lumivo
