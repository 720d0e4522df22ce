#pragma once

#include <QByteArray>

#include <string>
#include <utility>
#include <vector>

namespace lurkel::test {

// One entry of a package made for a test, hostile ones included.
struct PackageEntry {
    enum Kind { File, Folder, Symlink, Hardlink, Fifo };
    PackageEntry(std::string entryName, std::string bytes = {}, Kind entryKind = File, std::string linkTarget = {})
        : name(std::move(entryName)), data(std::move(bytes)), kind(entryKind), target(std::move(linkTarget))
    {}
    std::string name;
    std::string data; // a file's bytes
    Kind kind = File;
    std::string target; // a link's target
};

enum class PackageFormat { Zip, TarGz };

// The package as libarchive writes it, names and kinds exactly as given.
QByteArray makePackage(PackageFormat format, const std::vector<PackageEntry> &entries);

} // namespace lurkel::test
