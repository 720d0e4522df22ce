#pragma once

#include "BytePath.h"
#include "NotificationCenter.h"

#include <QObject>

#include <memory>
#include <optional>

namespace lurkel {

// Notifications between Lurkel's programs over the D-Bus session bus: the signal
// Post(s name, s object, a{sv} userInfo) of interface "com.brendix.DistributedNotificationCenter"
// on path "/com/brendix/DistributedNotificationCenter". Observers subscribe with a match rule
// on arg0 (the name) and, when they filter by object, arg1; they are called on the main
// thread. Without a session bus, posting and observing do nothing and say so once in the log.
class DistributedNotificationCenter : public QObject {
    Q_OBJECT
public:
    static inline constexpr const char kSignal[] = "Post";

    using Token = NotificationCenter::Token;
    using Observer = NotificationCenter::Observer;

    static DistributedNotificationCenter &defaultCenter();

    // A centre of its own (defaultCenter() is the one the programs use). Observers are
    // called on the thread of the application object.
    DistributedNotificationCenter();
    ~DistributedNotificationCenter() override;

    bool isConnected() const;
    // False when there is no bus or the signal could not be sent.
    bool post(const QString &name, const QString &object, const QVariantMap &userInfo = {});
    // object: std::nullopt observes every object (an empty name, every name). With a context
    // the observer is removed when the context is destroyed. Once this returns, a Post sent
    // by any process reaches the observer.
    Token addObserver(const QString &name, const std::optional<QString> &object, Observer fn,
                      QObject *context = nullptr);
    void removeObserver(Token token);

    // The user-info value for exact paths (sent as "aay").
    static QVariant pathsValue(const BytePathList &paths);
    // The paths of a received user info; std::nullopt when the key is absent or not "aay".
    static std::optional<BytePathList> pathsFromUserInfo(const QVariantMap &userInfo);

private:
    friend class PostReceiver;
    struct Registry;
    std::shared_ptr<Registry> m_registry;
};

} // namespace lurkel
