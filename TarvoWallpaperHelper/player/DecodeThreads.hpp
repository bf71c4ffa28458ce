#pragma once

namespace lumivo {

// How many threads one video's decoding and software scaling may use, from
// the size and rate its file declares. Up to 1080p at 30 frames a second one
// thread each keeps up with room to spare on any machine we support, and it
// costs less CPU and memory than libavcodec's and zimg's thread pools (two
// 1080p30 decodes on two cores: about 15 % less CPU and 15 MiB less per
// decode, bench/each-screen.sh). Anything larger, or a file that does not
// say, keeps the pools so that it plays in time.
struct DecodeThreads {
    int decode = 0;  // mpv's vd-lavc-threads; 0 lets libavcodec choose
    int scale = 0;   // mpv's zimg-threads; 0 lets zimg choose ("auto")

    static DecodeThreads forVideo(long long width, long long height, double framesPerSecond);
};

}  // namespace lumivo
