#pragma once

#include "BytePath.h"

#include <optional>
#include <string>

namespace lurkel {

// The user's numeric id and real home folder, read from the password database (not from
// $HOME): what the standard paths start from.
//
// Tests: the environment variable LURKEL_TEST_PASSWD_HOME stands in for the password
// database. Set to a path, the user's entry is taken to have that home folder; set but
// empty, the user is taken to have no entry at all (the fallback below). Unset, the real
// database answers.
class UserInfo {
public:
    // Reads the password database (thread-safe: getpwuid_r).
    UserInfo();

    // The real user id in decimal; nullopt when the password database has no entry for it.
    const std::optional<std::string> &userID() const { return m_userID; }
    // The entry's home folder; without an entry (or with an empty home field), "/home/" +
    // the login name, and with no login name known either, $HOME.
    const BytePath &homePath() const { return m_homePath; }

    // The login name when the password database cannot give it: $LOGNAME, $USER, then
    // getlogin(); empty when none is known.
    static std::string loginNameFromSession();

private:
    std::optional<std::string> m_userID;
    BytePath m_homePath;
};

} // namespace lurkel
