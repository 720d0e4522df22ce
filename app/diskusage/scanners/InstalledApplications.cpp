#include "InstalledApplications.h"

#include "DesktopEntry.h"
#include "SizeCalculation.h"

#include <algorithm>
#include <cctype>
#include <dirent.h>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace lurkel {
namespace {

std::string readText(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool endsWithNoCase(std::string_view text, std::string_view suffix)
{
    if (text.size() < suffix.size()) return false;
    return std::equal(
        suffix.begin(), suffix.end(), text.end() - static_cast<std::ptrdiff_t>(suffix.size()), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        });
}

// The stanzas of a dpkg or apt control file, one map of fields each.
std::vector<std::map<std::string, std::string>> stanzas(const std::string &text)
{
    std::vector<std::map<std::string, std::string>> out(1);
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty()) {
            if (!out.back().empty()) out.emplace_back();
            continue;
        }
        if (line[0] == ' ' || line[0] == '\t') continue; // continuation lines hold nothing we read
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        out.back()[line.substr(0, colon)] = value;
    }
    return out;
}

std::uint64_t allocatedSize(const std::string &path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return 0;
    return static_cast<std::uint64_t>(st.st_blocks) * 512;
}

} // namespace

InstalledApplications::InstalledApplications(DiskScanLocations locations) : m_locations(std::move(locations))
{
    readPackages();
}

void InstalledApplications::readPackages()
{
    const std::string admin = m_locations.dpkgAdminDir.bytes();
    std::set<std::string> automatic; // "name:arch" and "name"
    for (const auto &fields : stanzas(readText(m_locations.aptExtendedStates.bytes()))) {
        const auto name = fields.find("Package");
        const auto autoFlag = fields.find("Auto-Installed");
        if (name == fields.end() || autoFlag == fields.end() || autoFlag->second != "1") continue;
        const auto arch = fields.find("Architecture");
        automatic.insert(arch == fields.end() ? name->second : name->second + ":" + arch->second);
    }
    for (const auto &fields : stanzas(readText(admin + "/status"))) {
        const auto name = fields.find("Package");
        const auto status = fields.find("Status");
        if (name == fields.end() || status == fields.end() || !status->second.ends_with(" installed")) continue;
        const auto archField = fields.find("Architecture");
        const std::string arch = archField == fields.end() ? std::string() : archField->second;
        if (automatic.count(name->second) != 0 || automatic.count(name->second + ":" + arch) != 0) continue;
        Package package;
        package.name = name->second;
        if (const auto size = fields.find("Installed-Size"); size != fields.end())
            package.installedKiB = std::strtoull(size->second.c_str(), nullptr, 10);
        package.listFile = admin + "/info/" + package.name + ".list";
        if (::access(package.listFile.c_str(), R_OK) != 0)
            package.listFile = admin + "/info/" + package.name + ":" + arch + ".list";
        // the desktop entries the package installed
        std::istringstream files(readText(package.listFile));
        std::string file;
        while (std::getline(files, file))
            if (file.ends_with(".desktop") && file.find("/applications/") != std::string::npos)
                m_entryOwners.emplace(file, package);
    }
}

std::optional<InstalledApplications::Install>
InstalledApplications::installFor(const std::string &desktopEntryPath) const
{
    const DesktopEntry entry = DesktopEntry::parse(readText(desktopEntryPath));
    if (entry.value("Type").value_or("Application") != "Application") return std::nullopt;
    if (entry.boolValue("Hidden", false) || entry.boolValue("NoDisplay", false)) return std::nullopt;

    // a Flatpak export: its deployment folder
    for (const BytePath &installation : m_locations.flatpakInstallations) {
        const std::string exports = (installation / "exports/share/applications/").bytes();
        if (!desktopEntryPath.starts_with(exports)) continue;
        std::string id = entry.value("X-Flatpak").value_or("");
        if (id.empty()) {
            id = desktopEntryPath.substr(exports.size());
            if (id.ends_with(".desktop")) id.resize(id.size() - 8);
        }
        if (id.empty() || id.find('/') != std::string::npos) return std::nullopt;
        const std::string deployment = (installation / "app" / id).bytes();
        return Install{deployment, deployment, true, std::nullopt, {}};
    }

    // the program it starts: an AppImage, or something in /opt/NAME
    if (const auto arguments = entry.execArguments(); arguments && !arguments->empty()) {
        std::size_t first = 0;
        if ((*arguments)[0] == "env" || (*arguments)[0] == "/usr/bin/env") {
            first = 1;
            while (first < arguments->size() && (*arguments)[first].find('=') != std::string::npos)
                ++first;
        }
        if (first < arguments->size()) {
            const std::string &program = (*arguments)[first];
            if (program.starts_with('/') && endsWithNoCase(program, ".appimage"))
                return Install{program, program, false, std::nullopt, {}};
            const std::string opt = m_locations.optFolder.bytes() + "/";
            if (program.starts_with(opt)) {
                const std::size_t end = program.find('/', opt.size());
                if (end != std::string::npos) {
                    const std::string folder = program.substr(0, end);
                    return Install{folder, folder, true, std::nullopt, {}};
                }
            }
        }
    }

    // a package the user asked for
    if (const auto owner = m_entryOwners.find(desktopEntryPath); owner != m_entryOwners.end()) {
        return Install{desktopEntryPath, "package:" + owner->second.name, false, owner->second.installedKiB * 1024,
                       owner->second.listFile};
    }
    return std::nullopt;
}

std::vector<std::string> InstalledApplications::applicationsPathsArrayFromFolder(const std::string &folder, int depth)
{
    std::vector<std::string> found;
    if (depth > 20) return found;
    DIR *dir = ::opendir(folder.c_str());
    if (dir == nullptr) return found;
    std::vector<std::string> subfolders;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name.starts_with('.')) continue;
        std::string path = folder;
        if (path.empty() || path.back() != '/') path.push_back('/');
        path.append(name);
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || S_ISLNK(st.st_mode)) continue;
        if (S_ISREG(st.st_mode) && endsWithNoCase(name, ".appimage")) {
            found.push_back(std::move(path));
        } else if (S_ISDIR(st.st_mode)) {
            subfolders.push_back(std::move(path));
        }
    }
    ::closedir(dir);
    for (const std::string &sub : subfolders) {
        std::vector<std::string> below = applicationsPathsArrayFromFolder(sub, depth + 1);
        found.insert(found.end(), below.begin(), below.end());
    }
    return found;
}

std::uint64_t InstalledApplications::measure(const Install &install, const std::atomic<bool> *stop)
{
    if (install.isFolder) return SizeCalculation::sharedInstance().measure(install.path, false, stop).bytes;
    if (install.packageList.empty()) return allocatedSize(install.path);
    // a package: its regular files, each once
    std::uint64_t total = 0;
    std::set<std::pair<dev_t, ino_t>> seen;
    std::istringstream files(readText(install.packageList));
    std::string file;
    while (std::getline(files, file)) {
        struct stat st {};
        if (::lstat(file.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
        if (seen.insert({st.st_dev, st.st_ino}).second) total += static_cast<std::uint64_t>(st.st_blocks) * 512;
    }
    return total;
}

} // namespace lurkel
