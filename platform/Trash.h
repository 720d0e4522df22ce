#pragma once

#include "BytePath.h"
#include "Error.h"
#include "FileOperations.h"

#include <ctime>
#include <string>
#include <string_view>
#include <variant>

namespace lurkel {

// The freedesktop Trash, on byte paths.
//
// An item on the file system of the home trash ($XDG_DATA_HOME/Trash) goes there, with its
// absolute path in the info file. An item on another mounted file system goes to the trash at
// that file system's top: $topdir/.Trash/$uid when $topdir/.Trash is a real folder (not a
// link) with the sticky bit and $uid in it is a folder of ours (made when missing), else
// $topdir/.Trash-$uid (made 0700, and used only when it is a folder of ours); its info file
// holds the path relative to $topdir. Nothing is ever copied across file systems: where no
// trash can be made, the item stays and the error says why.
//
// The name in the trash is reserved by creating info/NAME.trashinfo with O_EXCL; the info is
// written whole, then the item is renamed to files/NAME without replacing anything. When that
// rename fails, the info file is removed again.
class Trash {
public:
    // On success the outcome's destination is where the item now is (…/Trash/files/NAME); its
    // info file is the sibling …/Trash/info/NAME.trashinfo. Items inside a trash, a trash
    // folder itself, and folders that hold the trash are refused.
    static ItemOutcome moveToTrash(const BytePath &item);

    // $XDG_DATA_HOME/Trash
    static BytePath homeTrash();

    // The trash folder (with files/ and info/) for items of the file system whose top folder
    // is topDir, made where missing as described above.
    static std::variant<BytePath, Error> trashDirectoryInTopDir(const BytePath &topDir);

    // The content of an info file: "[Trash Info]", "Path=" with the percent-encoded bytes,
    // "DeletionDate=YYYY-MM-DDThh:mm:ss" in local time.
    static std::string trashInfo(std::string_view originalPath, std::time_t deletionTime);

    // Every byte outside A-Z a-z 0-9 - . _ ~ / as %XX.
    static std::string percentEncode(std::string_view bytes);
};

} // namespace lurkel
