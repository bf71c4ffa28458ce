#include "UserSettings.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QStandardPaths>
#include <cerrno>
#include <cstring>
#include <optional>

#include "GuiThread.hpp"

namespace lumivo {
namespace {

namespace fs = std::filesystem;

std::string kindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return "a device";
}

// Why QSettings must not open `path`, or nothing when it may: a regular file
// that can be read, or no file at all. Opened without blocking, so that a FIFO
// there cannot hold the start up.
std::optional<std::string> unusable(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat status {};
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT) {
            return std::nullopt;
        }
        if (error == ENOTDIR) {
            return path.parent_path().string() + " is not a folder";
        }
        // A socket cannot be opened at all; name it rather than the errno.
        if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
            return "it is " + kindOf(status.st_mode) + ", not a regular file";
        }
        return std::string("it cannot be read: ") + std::strerror(error);
    }
    const bool regular = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    ::close(fd);
    if (!regular) {
        return "it is " + kindOf(status.st_mode) + ", not a regular file";
    }
    return std::nullopt;
}

// What keeps `path` from being written, as far as can be told.
std::string writeProblem(const fs::path& path) {
    const fs::path folder = path.parent_path();
    struct stat status {};
    if (::stat(folder.c_str(), &status) == 0 && !S_ISDIR(status.st_mode)) {
        return folder.string() + " is not a folder";
    }
    for (const fs::path& target : {path, folder}) {
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT) {
            return std::strerror(errno);
        }
    }
    return "the file cannot be written";
}

}  // namespace

UserSettings::UserSettings(LogLine log, fs::path file)
    : path_(std::move(file)), log_(std::move(log)) {
    if (const std::optional<std::string> problem = unusable(path_)) {
        if (log_) {
            log_("Cannot use the settings file " + path_.string() + ": " + *problem +
                 ". Settings are kept in memory until the helper quits.");
        }
        return;
    }
    file_ =
        std::make_unique<QSettings>(QString::fromStdString(path_.string()), QSettings::IniFormat);
}

UserSettings::~UserSettings() = default;

fs::path UserSettings::defaultFile() {
    // Where QSettings keeps a user's settings of organisation "Lumivo".
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return fs::path(config.toStdString()) / "Lumivo" / "LumivoHelper.conf";
}

QVariant UserSettings::value(const std::string& key) const {
    const QString name = QString::fromStdString(key);
    if (file_) {
        return file_->value(name);
    }
    const auto it = memory_.find(name);
    return it != memory_.end() ? it->second : QVariant();
}

void UserSettings::store(const std::string& key, const QVariant& value) {
    if (file_) {
        file_->setValue(QString::fromStdString(key), value);
        written();
    } else {
        memory_[QString::fromStdString(key)] = value;
    }
}

// Flushes a change to the file, and says so when that fails for the first
// time. QSettings keeps the first error as its status for good, so one line
// is all there can be.
void UserSettings::written() {
    file_->sync();
    if (file_->status() != QSettings::NoError && !writeFailed_) {
        writeFailed_ = true;
        if (log_) {
            log_("Cannot save the settings file " + path_.string() + ": " + writeProblem(path_) +
                 ". Changes last until the helper quits.");
        }
    }
}

bool UserSettings::flag(const std::string& key) const {
    requireGuiThread("UserSettings::flag");
    const QVariant stored = value(key);
    return stored.isValid() && stored.toBool();
}

void UserSettings::setFlag(const std::string& key, bool value) {
    requireGuiThread("UserSettings::setFlag");
    store(key, value);
}

std::optional<std::string> UserSettings::text(const std::string& key) const {
    requireGuiThread("UserSettings::text");
    const QVariant stored = value(key);
    if (!stored.isValid()) {
        return std::nullopt;
    }
    return stored.toString().toStdString();
}

void UserSettings::setText(const std::string& key, const std::string& value) {
    requireGuiThread("UserSettings::setText");
    store(key, QString::fromStdString(value));
}

void UserSettings::remove(const std::string& key) {
    requireGuiThread("UserSettings::remove");
    const QString name = QString::fromStdString(key);
    if (file_) {
        file_->remove(name);
        written();
        return;
    }
    // The key, or a group with every key in it.
    std::erase_if(memory_, [&](const auto& entry) {
        return entry.first == name || entry.first.startsWith(name + '/');
    });
}

}  // namespace lumivo
