#include "PlasmaScript.hpp"

#include <charconv>
#include <sstream>

namespace lumivo::PlasmaScript {
namespace {

const char* hex = "0123456789abcdef";

void escapeUnit(std::string& out, unsigned unit) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) {
        out += hex[(unit >> shift) & 0xF];
    }
}

// Whether `s` is one well-formed UTF-8 sequence of 2 to 4 bytes (no
// overlong form, no surrogate, nothing past U+10FFFF).
bool wellFormed(const std::string& s) {
    if (s.size() < 2) {
        return false;
    }
    unsigned code = static_cast<unsigned char>(s[0]) & (0x7F >> s.size());
    for (std::size_t k = 1; k < s.size(); ++k) {
        const auto b = static_cast<unsigned char>(s[k]);
        if ((b & 0xC0) != 0x80) {
            return false;
        }
        code = (code << 6) | (b & 0x3F);
    }
    const unsigned least[] = {0, 0, 0x80, 0x800, 0x10000};
    return code >= least[s.size()] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
}

bool integer(const std::string& word, long long& out) {
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), out);
    return error == std::errc() && end == word.data() + word.size();
}

}  // namespace

std::string literal(const std::string& text) {
    std::string out = "\"";
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (c == '"' || c == '\\') {
                out += '\\';
                out += static_cast<char>(c);
            } else if (c < 0x20 || c == 0x7F) {
                escapeUnit(out, c);
            } else {
                out += static_cast<char>(c);
            }
            ++i;
            continue;
        }
        // A whole UTF-8 sequence, or U+FFFD for a broken one.
        const std::size_t length = c > 0xF4 ? 0 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
        const std::string sequence = length > 0 ? text.substr(i, length) : std::string();
        if (length == 0 || sequence.size() != length || !wellFormed(sequence)) {
            escapeUnit(out, 0xFFFD);
            ++i;
            continue;
        }
        if (sequence == "\xE2\x80\xA8" || sequence == "\xE2\x80\xA9") {
            escapeUnit(out, sequence[2] == '\xA8' ? 0x2028 : 0x2029);
        } else {
            out += sequence;
        }
        i += length;
    }
    return out + "\"";
}

std::string listDesktops() {
    std::ostringstream s;
    s << "var known = knownWallpaperPlugins();\n"
      << "print('package ' + (" << literal(pluginName) << " in known ? 1 : 0) + '\\n');\n"
      << "var all = desktops();\n"
      << "for (var i = 0; i < all.length; ++i) {\n"
      << "  var d = all[i];\n"
      << "  if (d.screen < 0) continue;\n"
      << "  var g = screenGeometry(d.screen);\n"
      << "  print([d.id, d.screen, g.x, g.y, g.width, g.height, d.wallpaperPlugin].join(' ') + "
         "'\\n');\n"
      << "}\n";
    return s.str();
}

std::optional<Listing> parseListing(const std::string& output) {
    std::istringstream lines(output);
    std::string line;
    Listing listing;
    bool first = true;
    while (std::getline(lines, line)) {
        if (line.empty()) {
            continue;
        }
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;) {
            w.push_back(word);
        }
        if (first) {
            if (w.size() != 2 || w[0] != "package" || (w[1] != "0" && w[1] != "1")) {
                return std::nullopt;
            }
            listing.packageKnown = w[1] == "1";
            first = false;
            continue;
        }
        long long n[6];
        if (w.size() != 7) {
            return std::nullopt;
        }
        for (int k = 0; k < 6; ++k) {
            if (!integer(w[k], n[k])) {
                return std::nullopt;
            }
        }
        PlasmaDesktop desktop;
        desktop.id = n[0];
        desktop.screen = static_cast<int>(n[1]);
        desktop.geometry = {static_cast<int>(n[2]), static_cast<int>(n[3]), static_cast<int>(n[4]),
                            static_cast<int>(n[5])};
        desktop.plugin = w[6];
        listing.desktops.push_back(desktop);
    }
    if (first) {
        return std::nullopt;
    }
    return listing;
}

std::string readWallpaper(long long desktop) {
    std::ostringstream s;
    s << "var d = desktopById(" << desktop << ");\n"
      << "if (d) {\n"
      << "  var plugin = d.wallpaperPlugin;\n"
      << "  var saved = {plugin: plugin, config: {}};\n"
      << "  d.currentConfigGroup = ['Wallpaper', plugin, 'General'];\n"
      << "  var keys = d.configKeys;\n"
      << "  for (var i = 0; i < keys.length; ++i) saved.config[keys[i]] = d.readConfig(keys[i]);\n"
      << "  print(JSON.stringify(saved) + '\\n');\n"
      << "}\n";
    return s.str();
}

std::string showPackage(long long desktop) {
    const std::string ours = literal(pluginId);
    std::ostringstream s;
    s << "var d = desktopById(" << desktop << ");\n"
      << "if (d) {\n"
      << "  d.currentConfigGroup = ['Wallpaper', " << ours << ", 'General'];\n"
      << "  d.writeConfig('Desktop', String(d.id));\n"
      << "  d.wallpaperPlugin = " << ours << ";\n"
      << "  print('ok');\n"
      << "}\n";
    return s.str();
}

std::string giveBack(long long desktop, const std::string& saved) {
    std::ostringstream s;
    s << "var d = desktopById(" << desktop << ");\n"
      << "var saved = JSON.parse(" << literal(saved) << ");\n"
      << "if (d && d.wallpaperPlugin == " << literal(pluginId) << ") {\n"
      << "  d.currentConfigGroup = ['Wallpaper', saved.plugin, 'General'];\n"
      << "  for (var key in saved.config) d.writeConfig(key, saved.config[key]);\n"
      << "  d.wallpaperPlugin = saved.plugin;\n"
      << "}\n";
    return s.str();
}

}  // namespace lumivo::PlasmaScript
