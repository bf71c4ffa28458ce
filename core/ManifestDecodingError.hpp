#pragma once

#include <stdexcept>
#include <string>

namespace lumivo {

// Why a manifest document could not be decoded, in a short sentence naming
// the element, the key and the fault (e.g. `element 3: key "bytes" must be an
// integer`). Not a HelperError: the manifest store wraps it into one.
class ManifestDecodingError : public std::runtime_error {
  public:
    explicit ManifestDecodingError(const std::string& description)
        : std::runtime_error(description) {}
};

}  // namespace lumivo
