#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace lurkel {

// The front end of folder measurement (SizeCalculationTask does the work). Keeps no state:
// scanners on different threads measure at the same time, each with its own task.
//
// The ".DS_Store" variants come from a desktop that keeps a view-settings file of that name
// in every folder; here such a file is only an ordinary file that may or may not exist, and
// "ignoring" it subtracts nothing unless it does.
class SizeCalculation {
public:
    // What one measurement found.
    struct Measurement {
        std::uint64_t bytes = 0;
        std::int64_t unreadableFolders = 0; // > 0: part of the tree could not be read
    };

    static const SizeCalculation &sharedInstance();

    // The allocated size of the tree; with ignoreRootDSStore, less the allocated size of a
    // file ".DS_Store" directly in the folder, never below 0.
    std::uint64_t fastFolderSizeOfItemWithPath(const std::string &path, bool ignoreRootDSStore) const;
    std::uint64_t fastSizeOfFolderAtPath(const std::string &path) const;
    std::uint64_t sizeIgnoreRootDSStoreForFolderAtPath(const std::string &path) const;

    // The same measurement with its completeness; a set stop flag ends it early.
    Measurement measure(const std::string &path, bool ignoreRootDSStore = false,
                        const std::atomic<bool> *stop = nullptr) const;
};

} // namespace lurkel
