#pragma once

#include "BytePath.h"

#include <array>
#include <string>
#include <string_view>

namespace lurkel {

// The user's personal data that no search ever reports or enters: Evolution's calendars
// ("calendar") and address book ("addressbook") in $XDG_DATA_HOME/evolution, and its account
// and address-book settings ("sources") in $XDG_CONFIG_HOME/evolution.
//
// Immutable once built, so the walker threads read it without a lock. Both the name and the
// folder must match exactly, byte for byte: a folder spelled differently (trailing
// separator, other case) does not match, and the entry is searched like any other.
class TWalkerSkipList {
public:
    // The process-wide list, built once from the environment on first use (thread-safe).
    static const TWalkerSkipList &shared();
    // A list for the folders the environment names now (tests build one for their home).
    static TWalkerSkipList fromEnvironment();
    // A list for these base folders ($XDG_DATA_HOME and $XDG_CONFIG_HOME).
    TWalkerSkipList(const BytePath &dataHome, const BytePath &configHome);

    // name: an entry as listed; folder: the full path of the folder that holds it.
    // Called for every entry the walker sees, so the name is tested first and nearly every
    // entry is answered by a length comparison.
    bool isInExcludeListNameInPath(std::string_view name, std::string_view folder) const
    {
        for (const Entry &entry : m_entries) {
            if (name.size() == entry.name.size() && name.front() == entry.name.front() && name == entry.name &&
                folder == entry.folder) {
                return true;
            }
        }
        return false;
    }

    static inline constexpr std::string_view kCalendarsFolderName = "calendar";
    static inline constexpr std::string_view kAddressBookFolderName = "addressbook";
    static inline constexpr std::string_view kAddressBookSettingsName = "sources";

private:
    struct Entry {
        std::string_view name;
        std::string folder;
    };
    std::array<Entry, 3> m_entries;
};

} // namespace lurkel
