#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace lurkel {

struct Notification {
    QString name;
    QVariant object;
    QVariantMap userInfo;
};

// The local notification centre: observers filter by name (empty: every name) and by
// object (invalid QVariant: every object). post() calls the matching observers on the
// posting thread, in the order they were added.
class NotificationCenter {
public:
    using Observer = std::function<void(const Notification &)>;
    using Token = std::uint64_t;

    static NotificationCenter &defaultCenter();

    // With a context object the observer is removed when the context is destroyed.
    Token addObserver(const QString &name, const QVariant &object, Observer fn, QObject *context = nullptr);
    void removeObserver(Token token);
    void post(const QString &name, const QVariant &object = {}, const QVariantMap &userInfo = {});
    std::size_t observerCount() const;

private:
    struct Entry {
        Token token;
        QString name;
        QVariant object;
        std::shared_ptr<Observer> fn;
    };
    mutable std::mutex m_mutex;
    std::vector<Entry> m_entries;
    Token m_next = 1;
};

} // namespace lurkel
