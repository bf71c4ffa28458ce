// Plasma 6: the Lumivo wallpaper of one desktop. The helper writes this
// desktop's containment id into the configuration ("Desktop").
import QtQuick
import org.kde.plasma.plasmoid
// Loads the compiled FrameView item (see contents/imports/qmldir).
import "../imports" as LumivoPlugin

WallpaperItem {
    id: root

    LumivoArea {
        anchors.fill: parent
        desktop: root.configuration.Desktop
    }
}
