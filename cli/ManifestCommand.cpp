// `lumivo manifest check|lookup`: validates a manifest the way the helper
// reads it, so gallery maintainers can test one before publishing it.
#include <filesystem>
#include <iostream>
#include <memory>

#include "Commands.hpp"
#include "HelperError.hpp"
#include "ManifestLocation.hpp"
#include "ManifestStore.hpp"
#include "RecordJson.hpp"
#include "URLManifestDataLoader.hpp"

namespace lumivo::cli {

namespace {

constexpr const char* manifestUsage =
    "Usage: lumivo manifest check <path-or-url>\n"
    "       lumivo manifest lookup <path-or-url> <id>\n";

}  // namespace

int manifestCommand(const std::vector<std::string>& args) {
    const bool check = args.size() == 2 && args[0] == "check";
    const bool lookup = args.size() == 3 && args[0] == "lookup";
    if (!check && !lookup) {
        std::cerr << manifestUsage;
        return 2;
    }
    const auto url = manifestLocation(args[1]);
    if (!url) {
        std::cerr << "lumivo: not a valid path or URL: " << args[1] << "\n";
        return 2;
    }
    const ManifestStore store(*url, std::make_unique<URLManifestDataLoader>());
    try {
        if (check) {
            std::cout << store.allRecords().size() << " wallpapers\n";
            return 0;
        }
        const auto record = store.record(args[2]);
        if (!record) {
            throw HelperError::missingRecord(args[2]);
        }
        std::cout << recordJson(*record) << "\n";
        return 0;
    } catch (const std::exception& error) {
        std::cerr << localizedDescription(error) << "\n";
        return 1;
    }
}

}  // namespace lumivo::cli
