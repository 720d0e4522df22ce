#include "ApplicationRemoval.h"

#include <QRegularExpression>

#include <dirent.h>
#include <fstream>
#include <memory>
#include <sys/stat.h>

namespace lurkel {

namespace {

QString display(std::string_view bytes)
{
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

bool isUnder(const BytePath &folder, const BytePath &path)
{
    const std::string &base = folder.bytes();
    return !base.empty() && path.bytes().size() > base.size() && path.bytes().compare(0, base.size(), base) == 0 &&
           path.bytes()[base.size()] == '/';
}

} // namespace

ApplicationRemoval::PackageOwners ApplicationRemoval::packagesOwning(const std::set<std::string> &paths,
                                                                     const BytePath &dpkgAdminDir)
{
    PackageOwners owners;
    const BytePath infoFolder = dpkgAdminDir / "info";
    std::unique_ptr<DIR, int (*)(DIR *)> folder(::opendir(infoFolder.c_str()), &::closedir);
    if (!folder || paths.empty()) return owners;
    const std::string suffix = ".list";
    while (const dirent *entry = ::readdir(folder.get())) {
        const std::string name = entry->d_name;
        if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        // "name:arch.list" names the package "name".
        std::string package = name.substr(0, name.size() - suffix.size());
        if (const std::size_t colon = package.find(':'); colon != std::string::npos) package.resize(colon);
        std::ifstream list((infoFolder / name).bytes());
        std::string line;
        while (std::getline(list, line)) {
            if (paths.count(line) != 0) owners.emplace(line, package);
        }
        if (owners.size() == paths.size()) break;
    }
    return owners;
}

QString ApplicationRemoval::shellQuoted(const QString &word)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./:+@%=,-]+$"));
    if (plain.match(word).hasMatch()) return word;
    QString quoted = word;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

ApplicationRemoval ApplicationRemoval::describe(const BytePath &path, std::uint64_t size,
                                                const DiskScanLocations &locations, const PackageOwners *owners)
{
    ApplicationRemoval removal;
    removal.path = path;
    removal.size = size;
    const std::string fileName(path.fileName());
    removal.name = display(fileName);

    // A Flatpak deployment: INSTALLATION/app/ID.
    for (const BytePath &installation : locations.flatpakInstallations) {
        if (path.parent() != installation / "app") continue;
        removal.kind = Kind::Flatpak;
        const bool user = isUnder(locations.home, installation);
        removal.command = QStringLiteral("flatpak uninstall %1%2")
                              .arg(user ? QStringLiteral("--user ") : QString(), shellQuoted(removal.name));
        return removal;
    }

    struct stat status {};
    const bool isFolder = ::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
    const bool isEntry = fileName.size() > 8 && fileName.compare(fileName.size() - 8, 8, ".desktop") == 0;
    if (!isFolder && !isEntry && ::lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
        removal.kind = Kind::AppImage;
        removal.canMoveToTrash = true;
        return removal;
    }
    if (isEntry) {
        removal.name = display(std::string_view(fileName).substr(0, fileName.size() - 8));
        removal.kind = Kind::Package;
    } else if (isUnder(locations.optFolder, path)) {
        removal.kind = Kind::OptFolder;
    }
    const PackageOwners own =
        owners != nullptr ? PackageOwners{} : packagesOwning({path.bytes()}, locations.dpkgAdminDir);
    const PackageOwners &lookup = owners != nullptr ? *owners : own;
    if (const auto found = lookup.find(path.bytes()); found != lookup.end()) {
        removal.kind = Kind::Package;
        removal.command = QStringLiteral("sudo apt remove ") + shellQuoted(display(found->second));
    }
    return removal;
}

QString ApplicationRemoval::kindText() const
{
    switch (kind) {
    case Kind::Flatpak:
        return QStringLiteral("Flatpak");
    case Kind::AppImage:
        return QStringLiteral("AppImage");
    case Kind::OptFolder:
        return QStringLiteral("Folder in /opt");
    case Kind::Package:
        return QStringLiteral("Debian package");
    case Kind::Unknown:
        break;
    }
    return QStringLiteral("Unknown");
}

} // namespace lurkel
