#pragma once

#include <boost/url/url.hpp>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumivo {

// A parsed URL reference (absolute or relative), an immutable value. It offers
// the few views the helper relies on, with the decoding rules spelled out
// below, so that the rest of the code never touches the parser directly.
class Url {
  public:
    // Parses an RFC 3986 URI reference. Refuses the empty string, spaces and
    // any other character outside the grammar (non-ASCII text included),
    // malformed percent escapes and ports above 65535.
    static std::optional<Url> parse(std::string_view text);
    // A file URL for an absolute local path, percent-encoding what needs it.
    static Url fileURL(const std::filesystem::path& absolutePath);

    // The scheme as written (not lower-cased), or absent.
    std::optional<std::string> scheme() const;
    // The host as written and percent-decoded, without user information, port
    // or IPv6 brackets; absent when there is no authority or the host is empty.
    std::optional<std::string> host() const;
    std::optional<std::uint16_t> port() const;
    // The percent-decoded path, a trailing "/" dropped except for the root.
    std::string path() const;
    // "/" first when the path is absolute, then each non-empty decoded segment.
    std::vector<std::string> pathComponents() const;
    // The last of pathComponents(), or "" for an empty path.
    std::string lastPathComponent() const;
    // The text after the last "." of lastPathComponent(), or "".
    std::string pathExtension() const;
    // The URL text exactly as parsed.
    std::string absoluteString() const;

    bool isFileURL() const;

    // Equal when the texts are equal. (Boost.URL 1.81's normalising
    // comparison crashes on some references, such as "x:.".)
    friend bool operator==(const Url& a, const Url& b) {
        return a.url_.buffer() == b.url_.buffer();
    }

  private:
    explicit Url(boost::urls::url url) : url_(std::move(url)) {}

    boost::urls::url url_;
};

}  // namespace lumivo
