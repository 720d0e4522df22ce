#pragma once

#include <QString>

namespace lurkel {

class UserDefaults;

// Remembers the last version of a page the user has read, in the defaults under one key.
class FreshChecker {
public:
    FreshChecker(UserDefaults &storage, QString key);

    // A version newer than the last one read (nothing read yet counts as version 0).
    bool isFresh(int version) const;
    int lastReadVersion() const;
    // Marks version as read; an older version does not move the mark back.
    void markAsRead(int version);

private:
    UserDefaults &m_storage;
    QString m_key;
};

} // namespace lurkel
