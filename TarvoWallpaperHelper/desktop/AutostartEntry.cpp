#include "AutostartEntry.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace lumivo {

namespace fs = std::filesystem;

namespace {

std::string errnoText(int error) {
    return std::generic_category().message(error);
}

[[noreturn]] void fail(const std::string& what, const fs::path& path, int error) {
    throw std::runtime_error(std::string("Could not ")
                                 .append(what)
                                 .append(" ")
                                 .append(path.string())
                                 .append(": ")
                                 .append(errnoText(error))
                                 .append("."));
}

// An argument of Exec=: quoted when it holds anything but plain characters,
// with the characters the Desktop Entry rules reserve inside quotes escaped.
// The value is a string value too, so each backslash is written twice.
std::string execArgument(const std::string& argument) {
    const bool plain = argument.find_first_of(" \t\n\"'\\><~|&;$*?#()`=%") == std::string::npos;
    if (plain && !argument.empty()) {
        return argument;
    }
    std::string quoted = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += "\\\\";
            if (c == '\\') {
                quoted += "\\\\";
                continue;
            }
        }
        if (c == '%') {
            quoted += "%%";
            continue;
        }
        quoted += c;
    }
    return quoted.append("\"");
}

struct FileDescriptor {
    int fd;
    ~FileDescriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

}  // namespace

AutostartEntry::AutostartEntry(fs::path file, fs::path launcher)
    : file_(std::move(file)), launcher_(std::move(launcher)) {}

std::optional<fs::path> AutostartEntry::defaultFile() {
    fs::path base;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config != '\0') {
        base = config;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        base = fs::path(home) / ".config";
    }
    if (!base.is_absolute()) {
        return std::nullopt;
    }
    return base / "autostart" / "app.lumivo.Helper.desktop";
}

fs::path AutostartEntry::launcherFor(const fs::path& helperExecutable) {
    std::string name = helperExecutable.filename().string();
    if (name.ends_with("-app")) {
        name.resize(name.size() - 4);
    }
    const fs::path folder = helperExecutable.parent_path();
    std::error_code error;
    if (fs::is_regular_file(folder / name, error)) {
        return folder / name;
    }
    return folder.parent_path() / "bin" / name;
}

bool AutostartEntry::exists() const {
    std::error_code error;
    return fs::is_regular_file(file_, error);
}

std::string AutostartEntry::contents() const {
    return std::string(
               "[Desktop Entry]\n"
               "Type=Application\n"
               "Name=Lumivo Helper\n"
               "Comment=Plays the last live wallpaper again when you log in\n"
               "Exec=")
        .append(execArgument(launcher_.string()))
        .append(
            " --autostart\n"
            "Icon=app.lumivo.Helper\n"
            "Terminal=false\n"
            "X-GNOME-Autostart-enabled=true\n");
}

void AutostartEntry::enable() const {
    const fs::path folder = file_.parent_path();
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        throw std::runtime_error(std::string("Could not create ")
                                     .append(folder.string())
                                     .append(": ")
                                     .append(error.message())
                                     .append("."));
    }
    std::string temporary =
        (folder / std::string(".").append(file_.filename().string()).append(".XXXXXX")).string();
    FileDescriptor out{::mkstemp(temporary.data())};
    if (out.fd < 0) {
        fail("write", folder, errno);
    }
    const std::string text = contents();
    std::string_view rest = text;
    int writeError = 0;
    while (!rest.empty() && writeError == 0) {
        const ssize_t written = ::write(out.fd, rest.data(), rest.size());
        if (written < 0 && errno != EINTR) {
            writeError = errno;
        } else if (written > 0) {
            rest.remove_prefix(static_cast<std::size_t>(written));
        }
    }
    if (writeError == 0 && (::fchmod(out.fd, 0644) != 0 || ::fsync(out.fd) != 0)) {
        writeError = errno;
    }
    if (writeError == 0 && ::rename(temporary.c_str(), file_.c_str()) != 0) {
        writeError = errno;
    }
    if (writeError != 0) {
        ::unlink(temporary.c_str());
        fail("write", file_, writeError);
    }
}

void AutostartEntry::disable() const {
    if (::unlink(file_.c_str()) != 0 && errno != ENOENT) {
        fail("remove", file_, errno);
    }
}

}  // namespace lumivo
