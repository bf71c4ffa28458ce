#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace lumivo {

// The XDG autostart entry that starts the helper with the user's session:
// "app.lumivo.Helper.desktop" in $XDG_CONFIG_HOME/autostart (or
// ~/.config/autostart). The helper owns that one file and never touches any
// other file in the folder. Blocking file-system calls; any thread.
class AutostartEntry {
  public:
    // `file` is the entry's path; `launcher` the absolute path of the launcher
    // that the entry runs with --autostart.
    AutostartEntry(std::filesystem::path file, std::filesystem::path launcher);

    // The entry's path for this user, or absent when the environment names no
    // absolute configuration directory.
    static std::optional<std::filesystem::path> defaultFile();
    // The launcher beside a running helper executable ("<name>-app"): the
    // "<name>" next to it in a build tree, else "<prefix>/bin/<name>" for a
    // helper installed in "<prefix>/libexec".
    static std::filesystem::path launcherFor(const std::filesystem::path& helperExecutable);

    const std::filesystem::path& file() const { return file_; }
    // Whether the entry exists (a regular file or a link to one).
    bool exists() const;
    // Writes the entry atomically (a temporary file in the same folder, then a
    // rename), creating the folder if needed. Throws std::runtime_error with a
    // message for the user when it cannot; nothing partial is left behind.
    void enable() const;
    // Removes the entry; nothing when it is absent. Throws std::runtime_error
    // when it remains.
    void disable() const;
    // The entry's text (Exec= quoted by the Desktop Entry rules).
    std::string contents() const;

  private:
    std::filesystem::path file_;
    std::filesystem::path launcher_;
};

}  // namespace lumivo
