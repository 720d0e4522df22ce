#include "XdgDirs.h"

#include "Identity.h"
#include "PosixFile.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>

namespace lurkel {
namespace {

std::optional<std::string> env(const char *name)
{
    const char *value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

// XDG base directories must be absolute; relative values are ignored, as the base-directory rules ask.
BytePath baseDir(const char *variable, const char *fallbackUnderHome)
{
    if (auto value = env(variable); value && value->front() == '/') return BytePath(*value);
    return XdgDirs::home() / fallbackUnderHome;
}

BytePathList dirList(const char *variable, const char *fallback)
{
    std::string value = env(variable).value_or(fallback);
    BytePathList result;
    std::size_t start = 0;
    while (start <= value.size()) {
        const std::size_t colon = value.find(':', start);
        const std::string piece = value.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (!piece.empty() && piece.front() == '/') result.emplace_back(piece);
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    return result;
}

} // namespace

BytePath XdgDirs::home()
{
    return BytePath(env("HOME").value_or("/"));
}

BytePath XdgDirs::dataHome()
{
    return baseDir("XDG_DATA_HOME", ".local/share");
}
BytePath XdgDirs::configHome()
{
    return baseDir("XDG_CONFIG_HOME", ".config");
}
BytePath XdgDirs::cacheHome()
{
    return baseDir("XDG_CACHE_HOME", ".cache");
}
BytePath XdgDirs::stateHome()
{
    return baseDir("XDG_STATE_HOME", ".local/state");
}

std::optional<BytePath> XdgDirs::runtimeDir()
{
    if (auto value = env("XDG_RUNTIME_DIR"); value && value->front() == '/') return BytePath(*value);
    return std::nullopt;
}

BytePathList XdgDirs::configDirs()
{
    return dirList("XDG_CONFIG_DIRS", "/etc/xdg");
}
BytePathList XdgDirs::dataDirs()
{
    return dirList("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
}

BytePath XdgDirs::userDir(const char *name, const char *fallback)
{
    // user-dirs.dirs lines look like: XDG_DOWNLOAD_DIR="$HOME/Downloads"
    const std::string wanted = std::string("XDG_") + name + "_DIR=";
    std::ifstream in((configHome() / "user-dirs.dirs").bytes());
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(wanted, 0) != 0) continue;
        std::string value = line.substr(wanted.size());
        if (value.size() < 2 || value.front() != '"' || value.back() != '"') continue;
        value = value.substr(1, value.size() - 2);
        std::string out;
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size()) {
                out.push_back(value[++i]);
            } else {
                out.push_back(value[i]);
            }
        }
        if (out.rfind("$HOME", 0) == 0) {
            std::string rest = out.substr(5);
            if (rest.empty()) return home();
            if (rest.front() == '/') return home() / rest.substr(1);
            continue;
        }
        if (!out.empty() && out.front() == '/') return BytePath(out);
    }
    return home() / fallback;
}

BytePath XdgDirs::appDataDir()
{
    return dataHome() / Identity::kBundleIdentifier;
}
BytePath XdgDirs::appScriptsDir()
{
    return appDataDir() / "Scripts";
}
BytePath XdgDirs::appStateDir()
{
    return stateHome() / Identity::kBundleIdentifier;
}

bool XdgDirs::makePath(const BytePath &path, unsigned mode)
{
    const int err = lurkel::makePath(path, static_cast<mode_t>(mode));
    if (err != 0) errno = err;
    return err == 0;
}

} // namespace lurkel
