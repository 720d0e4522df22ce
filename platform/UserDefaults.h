#pragma once

#include "BytePath.h"

#include <QDateTime>
#include <QMap>
#include <QMutex>
#include <QSet>
#include <QVariant>

#include <optional>

namespace lurkel {

// The defaults store: one JSON file per domain in $XDG_CONFIG_HOME (D.json).
//
// Values keep their kind: bool, qint64/quint64, double, QString, QDateTime (date),
// QByteArray (data), QVariantList (array) and QVariantMap (dictionary). Writes change the
// in-memory copy at once; synchronize() takes a cross-process lock, merges the keys this
// object changed into what is on disk, and replaces the file atomically, so that two
// processes writing different keys lose neither. synchronize() also reloads what other
// processes wrote. A damaged file is moved aside (D.json.corrupt-<time of its last change>)
// and reads as empty. A symbolic link is written through: the new file replaces the link's
// target, and the link stays.
//
// A file this store cannot read is never written over nor moved: one that exists but cannot
// be opened or read, is no regular file, is larger than kMaxFileSize, a link that leads
// nowhere, or a damaged file that cannot be moved aside. The store is then read-only for the
// rest of the run: reads give what is in memory (the callers' defaults for the rest), writes
// stay in memory, synchronize() is false, and the reason is logged once and kept for the app
// to show.
// Safe to use from any thread.
class UserDefaults {
public:
    // The application's own domain, "com.brendix.Lurkel-SII".
    static UserDefaults &standardUserDefaults();
    // A suite (or any other domain) by name; kept alive for the process.
    static UserDefaults &suite(const QString &name);

    explicit UserDefaults(QString domain);
    UserDefaults(const UserDefaults &) = delete;
    UserDefaults &operator=(const UserDefaults &) = delete;

    const QString &domain() const { return m_domain; }
    BytePath filePath() const;

    // The stored object, or an invalid QVariant when absent.
    QVariant objectForKey(const QString &key);
    bool contains(const QString &key);
    // Conversions of the stored object; the fallback when the key is absent.
    bool boolForKey(const QString &key, bool fallback = false);
    qint64 integerForKey(const QString &key, qint64 fallback = 0);
    double doubleForKey(const QString &key, double fallback = 0.0);
    QString stringForKey(const QString &key); // null QString when absent or not a string
    // True when the stored object is a number (bool does not count).
    bool isNumber(const QString &key);

    void setObject(const QString &key, const QVariant &value); // invalid value removes the key
    void setBool(const QString &key, bool value) { setObject(key, QVariant(value)); }
    void setInteger(const QString &key, qint64 value) { setObject(key, QVariant(value)); }
    void setDouble(const QString &key, double value) { setObject(key, QVariant(value)); }
    void setString(const QString &key, const QString &value) { setObject(key, QVariant(value)); }
    void removeObject(const QString &key);

    // Writes what this object changed (merged under the lock) and reads what others wrote.
    // False when the file could not be written, or the store is read-only; the changes stay
    // pending then.
    bool synchronize();

    // The largest settings file read; a bigger one makes the store read-only.
    static constexpr qint64 kMaxFileSize = qint64{16} * 1024 * 1024;
    // Whether the file could not be read, so that nothing is written to it in this run.
    bool isReadOnly();
    // Why, for the user (empty when not read-only).
    QString readOnlyReason();

    // Deletes the domain's file and forgets every key (the reset action).
    void removePersistentDomain();

    // Every key and value as this object sees them now.
    QVariantMap dictionaryRepresentation();

    // JSON encoding of values, exposed for tools that print settings.
    static QByteArray encode(const QVariantMap &values);
    static std::optional<QVariantMap> decode(const QByteArray &json);

private:
    void loadIfChangedLocked();
    // The file's values into out (empty when there is none or it was damaged and moved
    // aside). False when it must not be written over: the store is read-only from then on.
    bool readFileLocked(QVariantMap &out);
    bool becomeReadOnlyLocked(const QString &reason);

    QString m_domain;
    QMutex m_mutex;
    QVariantMap m_values;
    QSet<QString> m_dirty;
    bool m_loaded = false;
    // Where the file last read lives: the domain's path, or the target of a link there.
    BytePath m_target;
    bool m_readOnly = false;
    QString m_readOnlyReason;
};

} // namespace lurkel
