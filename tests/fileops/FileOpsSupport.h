#pragma once

#include "BytePath.h"
#include "Spawn.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lurkel::test {

// Names that break shells, line-based tools and naive UTF-8 handling.
std::vector<std::string> hostileNames();

BytePath makeDir(const BytePath &path, unsigned mode = 0755);
bool exists(const BytePath &path); // lstat succeeds

// Every entry under root (root itself as ""), keyed by relative path: kind, permission bits,
// size, mtime in nanoseconds, and the content of files and links.
using Snapshot = std::map<std::string, std::string>;
Snapshot snapshot(const BytePath &root);
std::string describe(const BytePath &entry); // one entry as snapshot() describes it

// A scratch folder on a file system other than the test folder's (tmpfs at /dev/shm), removed
// with everything in it when the object goes. path() is empty when there is none.
class OtherFileSystem {
public:
    OtherFileSystem();
    ~OtherFileSystem();
    OtherFileSystem(const OtherFileSystem &) = delete;
    OtherFileSystem &operator=(const OtherFileSystem &) = delete;
    const BytePath &path() const { return m_path; }

private:
    BytePath m_path;
};

void removeTree(const BytePath &path);

// Runs the real lurkelctl. With asUser, it runs as nobody (65534) through setpriv when this
// process is root, else as this user; home is then the HOME of the child.
struct CtlResult {
    int exitStatus = -1;
    std::string out;
    std::string err;
};
CtlResult lurkelctl(const std::vector<std::string> &args, const std::optional<BytePath> &unprivilegedHome = {});

// The user whose permissions the unprivileged runs have, and a way to give it a path.
bool runningAsRoot();
void giveToUnprivileged(const BytePath &path); // lchown to 65534 when root; nothing otherwise
BytePath unprivilegedArea();                   // a folder reachable by that user, with home/ prepared

} // namespace lurkel::test
