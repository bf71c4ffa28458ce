// Plasma 5: the Lumivo wallpaper of one desktop. The helper writes this
// desktop's containment id into the configuration ("Desktop").
import QtQuick 2.15
// Loads the compiled FrameView item (see contents/imports/qmldir).
import "../imports" as LumivoPlugin

LumivoArea {
    desktop: wallpaper.configuration.Desktop
}
