#include "CacheFolder.hpp"

#include <algorithm>
#include <fstream>
#include <system_error>

#include "CacheEviction.hpp"
#include "HelperError.hpp"

namespace lumivo {

namespace fs = std::filesystem;

namespace {

bool isVideoName(const std::string& name) {
    return !name.starts_with(".") && name.ends_with(".mp4");
}

}  // namespace

std::vector<CacheFolder::File> CacheFolder::files() const {
    const std::set<std::string> kept = protectedNames();
    std::vector<std::string> names = fileManager_.regularFileNames(root_);
    std::sort(names.begin(), names.end());
    std::vector<File> found;
    for (const std::string& name : names) {
        if (!isVideoName(name)) {
            continue;
        }
        const fs::path path = root_ / name;
        const auto bytes = fileManager_.fileSize(path);
        const auto modified = fileManager_.modificationDate(path);
        if (bytes && modified) {  // else it went meanwhile
            found.push_back(File{path, *bytes, *modified, kept.contains(name)});
        }
    }
    return found;
}

bool CacheFolder::markApplied(const fs::path& file) const {
    return fileManager_.setModificationDate(file, fs::file_time_type::clock::now());
}

void CacheFolder::protect(const std::vector<fs::path>& files) const {
    std::string list;
    for (const fs::path& file : files) {
        if (file.lexically_normal().parent_path() == root_.lexically_normal() &&
            isVideoName(file.filename().string())) {
            list += file.filename().string() + "\n";
        }
    }
    if (list.empty()) {
        // Nothing to keep: no list, and no folder made for one. Should the
        // removal fail, the old list keeps more than needed, which is safe.
        fileManager_.removeItem(root_ / protectedListName);
        return;
    }
    try {
        fileManager_.createDirectories(root_);
        fileManager_.replaceFile(root_ / protectedListName, list);
    } catch (const std::system_error& error) {
        throw HelperError::cacheFailed(std::string(error.what()) + ".");
    }
}

std::set<std::string> CacheFolder::protectedNames() const {
    const fs::path list = root_ / protectedListName;
    if (!fileManager_.fileExists(list)) {
        return {};
    }
    std::ifstream in(list);
    if (!in) {
        throw HelperError::cacheFailed("Could not read " + list.string() + ".");
    }
    std::set<std::string> names;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) {
            names.insert(line);
        }
    }
    if (in.bad()) {
        throw HelperError::cacheFailed("Could not read " + list.string() + ".");
    }
    return names;
}

std::vector<CacheFolder::Removal> CacheFolder::prune(std::int64_t limitBytes) const {
    std::vector<CacheEviction::Entry> entries;
    for (const File& file : files()) {
        entries.push_back(
            {file.path.filename().string(), file.bytes, file.lastApplied, file.isProtected});
    }
    std::vector<Removal> attempts;
    // A file that stays after a failed removal counts as kept, and the plan
    // is made again without it.
    for (bool replan = true; replan;) {
        replan = false;
        for (const CacheEviction::Entry& victim : CacheEviction::victims(entries, limitBytes)) {
            const auto entry = std::find(entries.begin(), entries.end(), victim);
            Removal removal{root_ / victim.name, victim.bytes, std::nullopt};
            try {
                fileManager_.deleteFile(removal.path);
                entries.erase(entry);
            } catch (const std::system_error& error) {
                removal.failure = std::string(error.what()) + ".";
                entry->isProtected = true;
                replan = true;
            }
            attempts.push_back(std::move(removal));
            if (replan) {
                break;
            }
        }
    }
    return attempts;
}

}  // namespace lumivo
