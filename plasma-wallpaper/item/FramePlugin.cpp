// The QML module app.lumivo.wallpaper: the FrameView item the wallpaper
// package shows the helper's frames with. The package loads this plugin
// through a directory import of its own (contents/imports, whose qmldir
// leads here by a relative path), which works wherever the package and the
// plugin are installed under one prefix, ~/.local included, where plasmashell
// searches no QML import path. Directory imports carry no version, and
// unversioned imports reach no C++ type, so the types go under the module's
// own name, which the package's QML then imports by name.
#include <qqml.h>

#include <QQmlExtensionPlugin>

#include "FrameView.hpp"

class LumivoWallpaperPlugin : public QQmlExtensionPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QQmlExtensionInterface_iid)
  public:
    void registerTypes(const char* /*uri*/) override {
        qmlRegisterType<lumivo::FrameView>("app.lumivo.wallpaper", 1, 0, "FrameView");
    }
};

#include "FramePlugin.moc"
