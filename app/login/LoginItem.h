#pragma once

#include "BytePath.h"

#include <QString>

#include <optional>

namespace lurkel {

struct AutostartEntry;

// One enabled login item: an XDG autostart entry that the session starts at login.
//
// The entry's file id stands for the job label and the program of its Exec line for the
// job's program. When that program is installed the item carries its absolute path and
// the entry's Name; when it is not, the item is known by its file id alone.
class LoginItem {
public:
    static LoginItem itemFromAutostartEntry(const AutostartEntry &entry);
    void setupWithAutostartEntry(const AutostartEntry &entry);

    const QString &bundleIdentifier() const { return m_bundleIdentifier; }
    const std::optional<BytePath> &executablePath() const { return m_executablePath; }
    // The stored name, or the bundle identifier when none is stored.
    QString applicationName() const;

    void setApplicationName(std::optional<QString> name) { m_applicationName = std::move(name); }

    // The program an Exec line names, as the session would start it: an absolute path that
    // is an executable file, or a bare name found in $PATH. nullopt when not installed.
    static std::optional<BytePath> installedProgram(const std::string &program);

private:
    QString m_bundleIdentifier;
    std::optional<BytePath> m_executablePath;
    std::optional<QString> m_applicationName;
};

} // namespace lurkel
