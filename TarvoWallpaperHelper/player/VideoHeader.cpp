#include "VideoHeader.hpp"

#include <dlfcn.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <string>

namespace lumivo {
namespace {

// libavformat's calls used here, from the library of the major version whose
// structures the headers describe. Once libmpv is loaded, so is this library:
// opening it again maps nothing new.
struct AvFormat {
    decltype(&::av_find_input_format) findInputFormat = nullptr;
    decltype(&::avformat_open_input) openInput = nullptr;
    decltype(&::avformat_close_input) closeInput = nullptr;

    static const AvFormat& instance() {
        static const AvFormat library = [] {
            AvFormat loaded;
            const std::string name = "libavformat.so." + std::to_string(LIBAVFORMAT_VERSION_MAJOR);
            // Kept for the life of the process, like libmpv.
            if (void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL); handle != nullptr) {
                loaded.findInputFormat = reinterpret_cast<decltype(findInputFormat)>(
                    dlsym(handle, "av_find_input_format"));
                loaded.openInput =
                    reinterpret_cast<decltype(openInput)>(dlsym(handle, "avformat_open_input"));
                loaded.closeInput =
                    reinterpret_cast<decltype(closeInput)>(dlsym(handle, "avformat_close_input"));
            }
            return loaded;
        }();
        return library;
    }
};

double rate(AVRational fraction) {
    return fraction.num > 0 && fraction.den > 0
               ? static_cast<double>(fraction.num) / static_cast<double>(fraction.den)
               : 0.0;
}

}  // namespace

std::vector<VideoHeader> VideoHeader::read(const std::filesystem::path& file) {
    const AvFormat& av = AvFormat::instance();
    if (av.findInputFormat == nullptr || av.openInput == nullptr || av.closeInput == nullptr) {
        return {};
    }
    // Read as MP4 (QuickTime) only, never probed: a file that is really a
    // playlist or a concatenation script would have libavformat open the
    // files or URLs it names. Anything else tells nothing here, and mpv
    // decides on its own whether it can play it.
    const AVInputFormat* mp4 = av.findInputFormat("mp4");
    AVFormatContext* context = nullptr;
    if (mp4 == nullptr || av.openInput(&context, file.c_str(), mp4, nullptr) < 0) {
        return {};  // libavformat frees the context itself on failure
    }
    std::vector<VideoHeader> videos;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream* stream = context->streams[i];
        if (stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO ||
            (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0) {
            continue;
        }
        // The average rate is the file's own; the real base rate is
        // libavformat's guess where the header does not give one.
        const double average = rate(stream->avg_frame_rate);
        videos.push_back({stream->codecpar->width, stream->codecpar->height,
                          average > 0 ? average : rate(stream->r_frame_rate)});
    }
    av.closeInput(&context);
    return videos;
}

}  // namespace lumivo
