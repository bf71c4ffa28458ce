#pragma once

#include <QObject>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "BlockingWorker.hpp"
#include "CacheFolder.hpp"
#include "SettingsStoring.hpp"

namespace lumivo {

// Keeps the wallpaper cache within the user's limit, the setting
// "cacheLimitMiB" (2048 when absent; any positive whole number counts): it
// stamps each applied cached file as just applied, keeps the list of the files
// that must stay (CacheFolder), and after an apply of a cached file (every
// download that lands is one) removes the least recently applied others on
// the worker, one log line each. GUI thread.
class CacheUpkeep {
  public:
    using LogSink = std::function<void(const std::string& message)>;

    static constexpr std::int64_t defaultLimitMiB = 2048;

    // `worker` and `context` must outlive it; only stored here.
    CacheUpkeep(CacheFolder folder, SettingsStoring& settings, BlockingWorker& worker,
                QObject* context, LogSink log)
        : folder_(std::move(folder)),
          settings_(settings),
          worker_(worker),
          context_(context),
          log_(std::move(log)) {}

    // `file` plays now: it and `kept` (what plays elsewhere and what the
    // next login restores) are kept; a cached one is stamped, and then the
    // cache trimmed.
    void applied(const std::filesystem::path& file, bool fromCache,
                 std::vector<std::filesystem::path> kept = {});
    // Keeps exactly `files`, which play or are remembered for login. A list
    // that cannot be written is logged; pruning then keeps the earlier list.
    void keep(const std::vector<std::filesystem::path>& files);
    // The limit in bytes; a setting that is not a positive whole number is
    // logged and the default counts.
    std::int64_t limitBytes() const;

  private:
    CacheFolder folder_;
    SettingsStoring& settings_;
    BlockingWorker& worker_;
    QObject* context_;
    LogSink log_;
};

}  // namespace lumivo
