// What the Lumivo wallpaper shows on one desktop: the helper's frames for
// that desktop (black until the first one), and whether a maximised or
// full-screen window on this screen hides it, which the helper rests for.
// The same file serves Plasma 5 and Plasma 6.
import QtQuick 2.15
import QtQuick.Window 2.15
import org.kde.taskmanager 0.1 as TaskManager
import app.lumivo.wallpaper 1.0 as Lumivo

Item {
    id: area

    // The containment id from the wallpaper's configuration ("Desktop").
    property string desktop

    // Opaque black under the frames: FrameView blends onto it (and shows
    // it until the first frame). Not drawn while the frames are opaque.
    Rectangle {
        anchors.fill: parent
        color: "black"
        visible: !frames.opaque
    }

    // How many windows hide this desktop now.
    property int covering: 0

    function recount() {
        var n = 0;
        for (var i = 0; i < coveringWindows.count; ++i) {
            var window = coveringWindows.objectAt(i);
            if (window && window.covers) {
                ++n;
            }
        }
        covering = n;
    }

    Lumivo.FrameView {
        id: frames
        anchors.fill: parent
        desktop: area.desktop
        covered: area.covering > 0
    }

    TaskManager.VirtualDesktopInfo {
        id: virtualDesktops
    }

    TaskManager.ActivityInfo {
        id: activities
    }

    // The windows on this desktop's screen, current virtual desktop and
    // activity that are not minimised.
    TaskManager.TasksModel {
        id: windowsHere
        sortMode: TaskManager.TasksModel.SortDisabled
        groupMode: TaskManager.TasksModel.GroupDisabled
        screenGeometry: Qt.rect(area.Screen.virtualX, area.Screen.virtualY,
                                area.Screen.width, area.Screen.height)
        virtualDesktop: virtualDesktops.currentDesktop
        activity: activities.currentActivity
        filterByScreen: true
        filterByVirtualDesktop: true
        filterByActivity: true
        filterMinimized: true
    }

    // Those of them that hide the desktop: maximised or full screen.
    Instantiator {
        id: coveringWindows
        model: windowsHere
        delegate: QtObject {
            readonly property bool covers: model.IsMaximized === true || model.IsFullScreen === true
            onCoversChanged: Qt.callLater(area.recount)
        }
        onObjectAdded: Qt.callLater(area.recount)
        onObjectRemoved: Qt.callLater(area.recount)
    }
}
