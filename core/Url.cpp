#include "Url.hpp"

#include <boost/url/encode.hpp>
#include <boost/url/parse.hpp>
#include <boost/url/rfc/pchars.hpp>

namespace lumivo {

namespace urls = boost::urls;

std::optional<Url> Url::parse(std::string_view text) {
    // The parser accepts an empty reference; nothing in the helper can use one.
    if (text.empty()) {
        return std::nullopt;
    }
    auto parsed = urls::parse_uri_reference(text);
    if (!parsed) {
        return std::nullopt;
    }
    // After an authority the path must be empty or start with "/". Boost.URL
    // 1.81 ends the authority at a second ":" instead, so "https://::1/" and
    // "lumivo://apply:x/abc" would otherwise get an empty or wrong host and a
    // relative path.
    if (parsed->has_authority() && !parsed->encoded_path().empty() &&
        parsed->encoded_path().front() != '/') {
        return std::nullopt;
    }
    // The parser reduces the port modulo 2^16 (99999 becomes 34463); a port
    // out of range is refused instead of silently naming another one.
    if (parsed->has_port()) {
        const auto digits = parsed->port();
        if (digits.size() > 5 || (!digits.empty() && std::stoul(std::string(digits)) > 65535)) {
            return std::nullopt;
        }
    }
    return Url(urls::url(*parsed));
}

Url Url::fileURL(const std::filesystem::path& absolutePath) {
    urls::url url;
    url.set_scheme("file");
    url.set_encoded_host("");
    url.set_path(absolutePath.generic_string());
    return Url(std::move(url));
}

std::optional<std::string> Url::scheme() const {
    if (!url_.has_scheme()) {
        return std::nullopt;
    }
    return std::string(url_.scheme());
}

std::optional<std::string> Url::host() const {
    if (!url_.has_authority()) {
        return std::nullopt;
    }
    std::string host = url_.host_address();
    if (host.empty()) {
        return std::nullopt;
    }
    return host;
}

std::optional<std::uint16_t> Url::port() const {
    if (!url_.has_port() || url_.port().empty()) {
        return std::nullopt;
    }
    return url_.port_number();
}

std::string Url::path() const {
    std::string path = url_.path();
    if (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

std::vector<std::string> Url::pathComponents() const {
    std::vector<std::string> components;
    if (url_.is_path_absolute()) {
        components.emplace_back("/");
    }
    const boost::urls::url_view view = url_;
    for (auto segment : view.segments()) {
        if (!segment.empty()) {
            components.push_back(segment);
        }
    }
    return components;
}

std::string Url::lastPathComponent() const {
    auto components = pathComponents();
    return components.empty() ? std::string() : components.back();
}

std::string Url::pathExtension() const {
    const std::string last = lastPathComponent();
    const auto dot = last.rfind('.');
    return dot == std::string::npos ? std::string() : last.substr(dot + 1);
}

std::string Url::absoluteString() const {
    return std::string(url_.buffer());
}

bool Url::isFileURL() const {
    return url_.has_scheme() && url_.scheme() == "file";
}

}  // namespace lumivo
