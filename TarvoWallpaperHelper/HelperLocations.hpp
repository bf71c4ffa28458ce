#pragma once

#include <filesystem>
#include <optional>

#include "FileManager.hpp"
#include "Url.hpp"
#include "WebPages.hpp"

namespace lumivo {

// Where the helper finds the developer checkout of the gallery, if it was
// given one. Built once at start and never checked for existence here: a
// checkout that is named but missing only changes later choices (remote
// manifest, production web pages), exactly as no checkout does.
struct HelperLocations {
    // The checkout's file URLs, all derived from its root.
    struct Checkout {
        Url projectRoot;
        Url webPublicRoot;     // projectRoot + "web/public/"
        Url assetRoot;         // projectRoot + "data/assets/wallpapers/"; nothing reads it
        Url localManifestURL;  // webPublicRoot + "api/wallpapers.json"
    };
    // Absent for a helper without a developer checkout (an installed one).
    std::optional<Checkout> checkout;

    // An empty `root` means no checkout. Precondition: otherwise `root` is absolute.
    static HelperLocations fromProjectRoot(const std::filesystem::path& root);

    // Whether the helper works with a checkout now: one was given and its
    // root exists. Blocking (asks the file system).
    bool hasCheckout(const FileManager& files) const;

    // The gallery or helper page: on the checkout's loopback development
    // server while hasCheckout() (asked anew each time), else on the
    // production host. Blocking.
    Url webPage(WebPage page, const FileManager& files) const;
};

}  // namespace lumivo
