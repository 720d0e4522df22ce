#include "SizeCalculation.h"

#include "SizeCalculationTask.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace lurkel {

const SizeCalculation &SizeCalculation::sharedInstance()
{
    static const SizeCalculation instance;
    return instance;
}

SizeCalculation::Measurement SizeCalculation::measure(const std::string &path, bool ignoreRootDSStore,
                                                      const std::atomic<bool> *stop) const
{
    SizeCalculationTask task(path);
    task.setStopFlag(stop);
    Measurement result;
    result.bytes = task.calculate();
    result.unreadableFolders = task.unreadableFolders();
    if (ignoreRootDSStore) {
        std::string store = path;
        if (store.empty() || store.back() != '/') store.push_back('/');
        store += ".DS_Store";
        struct stat st {};
        if (::fstatat(AT_FDCWD, store.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)) {
            const auto allocated = static_cast<std::uint64_t>(st.st_blocks) * 512;
            result.bytes = result.bytes > allocated ? result.bytes - allocated : 0;
        }
    }
    return result;
}

std::uint64_t SizeCalculation::fastFolderSizeOfItemWithPath(const std::string &path, bool ignoreRootDSStore) const
{
    return measure(path, ignoreRootDSStore).bytes;
}

std::uint64_t SizeCalculation::fastSizeOfFolderAtPath(const std::string &path) const
{
    return measure(path, false).bytes;
}

std::uint64_t SizeCalculation::sizeIgnoreRootDSStoreForFolderAtPath(const std::string &path) const
{
    return measure(path, true).bytes;
}

} // namespace lurkel
