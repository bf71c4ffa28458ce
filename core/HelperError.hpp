#pragma once

#include <exception>
#include <optional>
#include <string>
#include <utility>

namespace lumivo {

// The one error type of the system: a case tag and at most one text payload.
// Thrown by value; what() and errorDescription() give the user-facing message.
// Equality compares the case and the payload only.
class HelperError : public std::exception {
  public:
    enum class Case {
        unknownAction,
        manifestLoadFailed,
        duplicateManifestID,
        missingRecord,
        disallowedDownloadHost,
        cacheFailed,
        downloadFailed,
        badURL,
        emptyManifest,
        badID,
        unsupportedDownloadScheme,
        badDownloadFormat,
        badDownloadSize,
        badChecksum,
        checksumMismatch,
        missingPath,
        badExtension,
        outsideAssetRoot,
        unreadableFile,
        noMainScreen,
    };

    static HelperError unknownAction(std::string action);
    static HelperError manifestLoadFailed(std::string reason);
    static HelperError duplicateManifestID(std::string id);
    static HelperError missingRecord(std::string id);
    static HelperError disallowedDownloadHost(std::optional<std::string> host);
    static HelperError cacheFailed(std::string reason);
    static HelperError downloadFailed(std::string reason);
    static HelperError badURL() { return HelperError(Case::badURL); }
    static HelperError emptyManifest() { return HelperError(Case::emptyManifest); }
    static HelperError badID() { return HelperError(Case::badID); }
    static HelperError unsupportedDownloadScheme() {
        return HelperError(Case::unsupportedDownloadScheme);
    }
    static HelperError badDownloadFormat() { return HelperError(Case::badDownloadFormat); }
    static HelperError badDownloadSize() { return HelperError(Case::badDownloadSize); }
    static HelperError badChecksum() { return HelperError(Case::badChecksum); }
    static HelperError checksumMismatch() { return HelperError(Case::checksumMismatch); }
    static HelperError missingPath() { return HelperError(Case::missingPath); }
    static HelperError badExtension() { return HelperError(Case::badExtension); }
    static HelperError outsideAssetRoot() { return HelperError(Case::outsideAssetRoot); }
    static HelperError unreadableFile() { return HelperError(Case::unreadableFile); }
    static HelperError noMainScreen() { return HelperError(Case::noMainScreen); }
    // No screen, with what the user can do about it after the usual sentence.
    static HelperError noMainScreen(std::string remedy) {
        return HelperError(Case::noMainScreen, std::move(remedy));
    }

    // What a transfer ended by a cancel throws: downloadFailed("Download was
    // cancelled.") and manifestLoadFailed("the load was cancelled").
    // isCancellation() tells them apart from every other failure, so a caller
    // can end a cancelled job quietly.
    static HelperError downloadCancelled() { return downloadFailed("Download was cancelled."); }
    static HelperError manifestLoadCancelled() {
        return manifestLoadFailed("the load was cancelled");
    }
    bool isCancellation() const {
        return *this == downloadCancelled() || *this == manifestLoadCancelled();
    }

    Case kind() const { return kind_; }
    // The text payload; absent for the cases without one and for a
    // disallowedDownloadHost whose URL had no host.
    const std::optional<std::string>& payload() const { return payload_; }

    // The catalogue message, composed from the case and the payload verbatim.
    std::string errorDescription() const;
    const char* what() const noexcept override { return message_.c_str(); }
    std::optional<std::string> failureReason() const { return std::nullopt; }
    std::optional<std::string> recoverySuggestion() const { return std::nullopt; }
    std::optional<std::string> helpAnchor() const { return std::nullopt; }

    friend bool operator==(const HelperError& a, const HelperError& b) {
        return a.kind_ == b.kind_ && a.payload_ == b.payload_;
    }

  private:
    explicit HelperError(Case kind, std::optional<std::string> payload = std::nullopt);

    Case kind_;
    std::optional<std::string> payload_;
    // what() must hand out a pointer that lives as long as the error, so the
    // message is composed once, at construction.
    std::string message_;
};

// The text a user is shown for any failure: the catalogue message for a
// HelperError, what() for every other exception.
std::string localizedDescription(const std::exception& error);
// The same for a captured exception; "Unknown error." for one that is not a
// std::exception.
std::string localizedDescription(const std::exception_ptr& error);

}  // namespace lumivo
