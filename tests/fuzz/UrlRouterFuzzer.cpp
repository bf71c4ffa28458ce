// Any text either fails to parse as a Url or yields consistent views, the
// fast validity check agrees with the parser, and the router either returns a
// Route or throws one of its three errors.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "HelperError.hpp"
#include "URLRouter.hpp"
#include "UrlSyntax.hpp"

using lumivo::HelperError;

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto url = lumivo::Url::parse(text);
    // The manifest decoder's fast check must agree with the parser exactly.
    require(lumivo::isValidUrlReference(text) == url.has_value());
    if (!url) {
        return 0;
    }
    require(url->absoluteString() == text);
    require(lumivo::Url::parse(url->absoluteString()) == url);
    const auto components = url->pathComponents();
    for (const auto& component : components) {
        require(!component.empty());
    }
    (void)url->host();
    (void)url->port();
    (void)url->pathExtension();

    // A file URL built from the decoded path names the same file (empty
    // segments and a trailing "/" may be dropped, "." segments added).
    const std::string decoded = url->path();
    if (!decoded.empty() && decoded.front() == '/' && decoded.find('\0') == std::string::npos) {
        const std::filesystem::path original(decoded);
        const std::filesystem::path roundTrip(lumivo::Url::fileURL(original).path());
        // Appending a name makes a trailing "/" irrelevant to the comparison.
        require((roundTrip / "x").lexically_normal() == (original / "x").lexically_normal());
    }

    try {
        const lumivo::Route route = lumivo::URLRouter::parse(*url);
        require(route.kind() != lumivo::Route::Kind::apply || !route.id().empty());
    } catch (const HelperError& error) {
        using C = HelperError::Case;
        require(error.kind() == C::badURL || error.kind() == C::unknownAction ||
                error.kind() == C::badID);
    }
    return 0;
}
