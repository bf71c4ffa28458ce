#include "HelperError.hpp"

#include <utility>

namespace lumivo {

namespace {

std::string compose(HelperError::Case kind, const std::optional<std::string>& payload) {
    using C = HelperError::Case;
    const std::string& text = payload ? *payload : std::string();
    switch (kind) {
        case C::unknownAction:
            return "Unknown action: " + text + ".";
        case C::manifestLoadFailed:
            return "Could not read wallpaper manifest: " + text;
        case C::duplicateManifestID:
            return "Wallpaper manifest has a duplicate id: " + text + ".";
        case C::missingRecord:
            return "No wallpaper in manifest for id " + text + ".";
        case C::disallowedDownloadHost:
            return "This wallpaper source is not allowed.";
        case C::cacheFailed:
            return "Wallpaper cache failed: " + text;
        case C::downloadFailed:
            return "Wallpaper download failed: " + text;
        case C::badURL:
            return "Invalid lumivo URL.";
        case C::emptyManifest:
            return "Wallpaper manifest is empty.";
        case C::badID:
            return "Invalid wallpaper id.";
        case C::unsupportedDownloadScheme:
            return "Wallpaper download must use HTTPS.";
        case C::badDownloadFormat:
            return "Only MP4 wallpapers are allowed.";
        case C::badDownloadSize:
            return "Wallpaper file size is not allowed.";
        case C::badChecksum:
            return "Wallpaper checksum is invalid.";
        case C::checksumMismatch:
            return "The downloaded wallpaper could not be verified.";
        case C::missingPath:
            return "Wallpaper record has no local MP4 path.";
        case C::badExtension:
            return "Only .mp4 files are allowed.";
        case C::outsideAssetRoot:
            return "Resolved file is outside the allowed asset directory.";
        case C::unreadableFile:
            return "Wallpaper file does not exist or is not readable.";
        case C::noMainScreen:
            return payload ? "No main screen is available. " + text
                           : std::string("No main screen is available.");
    }
    return {};
}

}  // namespace

HelperError::HelperError(Case kind, std::optional<std::string> payload)
    : kind_(kind), payload_(std::move(payload)), message_(compose(kind_, payload_)) {}

HelperError HelperError::unknownAction(std::string action) {
    return HelperError(Case::unknownAction, std::move(action));
}
HelperError HelperError::manifestLoadFailed(std::string reason) {
    return HelperError(Case::manifestLoadFailed, std::move(reason));
}
HelperError HelperError::duplicateManifestID(std::string id) {
    return HelperError(Case::duplicateManifestID, std::move(id));
}
HelperError HelperError::missingRecord(std::string id) {
    return HelperError(Case::missingRecord, std::move(id));
}
HelperError HelperError::disallowedDownloadHost(std::optional<std::string> host) {
    return HelperError(Case::disallowedDownloadHost, std::move(host));
}
HelperError HelperError::cacheFailed(std::string reason) {
    return HelperError(Case::cacheFailed, std::move(reason));
}
HelperError HelperError::downloadFailed(std::string reason) {
    return HelperError(Case::downloadFailed, std::move(reason));
}

std::string HelperError::errorDescription() const {
    return message_;
}

std::string localizedDescription(const std::exception& error) {
    if (const auto* helperError = dynamic_cast<const HelperError*>(&error)) {
        return helperError->errorDescription();
    }
    return error.what();
}

std::string localizedDescription(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return localizedDescription(e);
    } catch (...) {
        return "Unknown error.";
    }
}

}  // namespace lumivo
