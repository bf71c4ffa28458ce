// The way other live wallpapers for Plasma play a video: a QtMultimedia
// Video in each desktop, muted, looping, cropped to fill. Only bench/plasma.sh
// uses it, as the peer of the helper's shared frames.
import QtQuick 2.15
import QtMultimedia 5.15

Rectangle {
    color: "black"

    Video {
        anchors.fill: parent
        source: wallpaper.configuration.Source
        autoPlay: true
        muted: true
        loops: MediaPlayer.Infinite
        fillMode: VideoOutput.PreserveAspectCrop
    }
}
