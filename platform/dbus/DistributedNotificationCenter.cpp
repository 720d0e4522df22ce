#include "DistributedNotificationCenter.h"
#include "MessageNames.h"

#include "Log.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QPointer>
#include <QThread>

#include <algorithm>
#include <map>
#include <mutex>
#include <vector>

namespace lurkel {
namespace {

// Match-rule values longer than this, or holding an apostrophe (which Qt does not escape
// in the rules it builds), are left out of the bus-side rule and compared here instead.
constexpr qsizetype kMaxMatchValueBytes = 256;
// The round trip that makes a new subscription take effect before addObserver returns.
constexpr int kSubscribeTimeoutMs = 5000;

const QString &busPath()
{
    static const QString s = QString::fromLatin1(MessageNames::kDistributedPath);
    return s;
}

const QString &busInterface()
{
    static const QString s = QString::fromLatin1(MessageNames::kDistributedInterface);
    return s;
}

const QString &busSignal()
{
    static const QString s = QString::fromLatin1(DistributedNotificationCenter::kSignal);
    return s;
}

const QString &postSignature()
{
    static const QString s = QStringLiteral("ssa{sv}");
    return s;
}

void registerTypes()
{
    static const bool registered = [] {
        qDBusRegisterMetaType<QByteArrayList>();
        return true;
    }();
    (void)registered;
}

// The session bus, or nothing (said once in the log) when the program runs without one.
std::optional<QDBusConnection> sessionBus()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) return bus;
    static std::once_flag once;
    std::call_once(once, [&bus] {
        qCWarning(lcBus, "no D-Bus session bus (%s): distributed notifications are off, this program runs alone",
                  qUtf8Printable(bus.lastError().message()));
    });
    return std::nullopt;
}

// Whether Qt can marshal the value. Qt writes a broken message for a type it does not
// know inside a container, and libdbus aborts the process on it, so this is checked first.
bool canTravel(const QVariant &value)
{
    if (!value.isValid()) return false;
    const QMetaType type = value.metaType();
    if (type == QMetaType::fromType<QVariantMap>()) {
        const QVariantMap map = value.toMap();
        return std::all_of(map.cbegin(), map.cend(), canTravel);
    }
    if (type == QMetaType::fromType<QVariantList>()) {
        const QVariantList list = value.toList();
        return std::all_of(list.cbegin(), list.cend(), canTravel);
    }
    if (type == QMetaType::fromType<QDBusVariant>()) return canTravel(value.value<QDBusVariant>().variant());
    if (type == QMetaType::fromType<QDBusArgument>()) return !value.value<QDBusArgument>().currentSignature().isEmpty();
    return QDBusMetaType::typeToSignature(type) != nullptr;
}

bool usableInMatchRule(const QString &value)
{
    return !value.contains(QLatin1Char('\'')) && value.toUtf8().size() <= kMaxMatchValueBytes;
}

// What one subscription filters on; the empty name stands for every name.
struct Filter {
    QString name;
    std::optional<QString> object;

    QString key() const { return name + QChar(0) + (object ? QStringLiteral("1") + *object : QStringLiteral("0")); }

    bool matches(const QString &postedName, const QString &postedObject) const
    {
        return (name.isEmpty() || name == postedName) && (!object || *object == postedObject);
    }

    QStringList argumentMatch() const
    {
        QStringList args;
        args << (name.isEmpty() || !usableInMatchRule(name) ? QString() : name);
        if (object && usableInMatchRule(*object)) args << *object;
        while (!args.isEmpty() && args.last().isNull())
            args.removeLast();
        return args;
    }
};

} // namespace

class PostReceiver;

struct DistributedNotificationCenter::Registry {
    struct Entry {
        Token token;
        QString key;
        std::shared_ptr<Observer> fn;
        QMetaObject::Connection contextConnection;
    };
    struct Subscription {
        QPointer<PostReceiver> receiver;
        QStringList argumentMatch;
        int observers = 0;
    };

    std::mutex mutex;
    Token next = 1;
    std::vector<Entry> entries;
    std::map<QString, Subscription> subscriptions;

    void remove(Token token);
    void deliver(const QString &key, const Notification &note);
    static void unsubscribe(const Subscription &subscription);
};

// One per subscription: the bus calls its slot (on the thread it lives in, the main
// thread) for every Post that passes the subscription's match rule.
class PostReceiver : public QObject {
    Q_OBJECT
public:
    PostReceiver(std::weak_ptr<DistributedNotificationCenter::Registry> registry, Filter filter)
        : m_registry(std::move(registry)), m_filter(std::move(filter)), m_key(m_filter.key())
    {}

public Q_SLOTS:
    void onPost(const QDBusMessage &message)
    {
        const QVariantList args = message.arguments();
        if (args.size() < 3) return;
        const QString name = args.at(0).toString();
        const QString object = args.at(1).toString();
        // The bus rule may be wider than the filter (see usableInMatchRule).
        if (!m_filter.matches(name, object)) return;
        const auto registry = m_registry.lock();
        if (!registry) return;
        registry->deliver(m_key, Notification{name, QVariant(object), qdbus_cast<QVariantMap>(args.at(2))});
    }

private:
    std::weak_ptr<DistributedNotificationCenter::Registry> m_registry;
    Filter m_filter;
    QString m_key;
};

void DistributedNotificationCenter::Registry::unsubscribe(const Subscription &subscription)
{
    if (subscription.receiver.isNull()) return;
    QDBusConnection::sessionBus().disconnect(QString(), busPath(), busInterface(), busSignal(),
                                             subscription.argumentMatch, postSignature(), subscription.receiver.data(),
                                             SLOT(onPost(QDBusMessage)));
    // Later, never here: remove() may run inside the receiver's own slot.
    subscription.receiver->deleteLater();
}

void DistributedNotificationCenter::Registry::remove(Token token)
{
    std::lock_guard lock(mutex);
    const auto it = std::find_if(entries.begin(), entries.end(), [token](const Entry &e) { return e.token == token; });
    if (it == entries.end()) return;
    QObject::disconnect(it->contextConnection);
    const auto sub = subscriptions.find(it->key);
    entries.erase(it);
    if (sub != subscriptions.end() && --sub->second.observers == 0) {
        unsubscribe(sub->second);
        subscriptions.erase(sub);
    }
}

void DistributedNotificationCenter::Registry::deliver(const QString &key, const Notification &note)
{
    std::vector<std::pair<Token, std::shared_ptr<Observer>>> matching;
    {
        std::lock_guard lock(mutex);
        for (const Entry &e : entries) {
            if (e.key == key) matching.emplace_back(e.token, e.fn);
        }
    }
    for (const auto &[token, fn] : matching) {
        bool stillThere = false;
        {
            // an observer removed by an earlier one is not called any more
            std::lock_guard lock(mutex);
            stillThere =
                std::any_of(entries.begin(), entries.end(), [t = token](const Entry &e) { return e.token == t; });
        }
        if (stillThere) (*fn)(note);
    }
}

DistributedNotificationCenter &DistributedNotificationCenter::defaultCenter()
{
    // Never destroyed: observers may outlive static destruction order.
    static auto *center = new DistributedNotificationCenter;
    return *center;
}

DistributedNotificationCenter::DistributedNotificationCenter() : m_registry(std::make_shared<Registry>())
{
    registerTypes();
}

DistributedNotificationCenter::~DistributedNotificationCenter()
{
    std::lock_guard lock(m_registry->mutex);
    for (const auto &[key, subscription] : m_registry->subscriptions)
        Registry::unsubscribe(subscription);
    for (const Registry::Entry &e : m_registry->entries)
        QObject::disconnect(e.contextConnection);
    m_registry->subscriptions.clear();
    m_registry->entries.clear();
}

bool DistributedNotificationCenter::isConnected() const
{
    return QDBusConnection::sessionBus().isConnected();
}

bool DistributedNotificationCenter::post(const QString &name, const QString &object, const QVariantMap &userInfo)
{
    auto bus = sessionBus();
    if (!bus) return false;
    for (auto it = userInfo.cbegin(); it != userInfo.cend(); ++it) {
        if (!canTravel(it.value())) {
            qCWarning(lcBus, "cannot post %s: the user-info value \"%s\" (%s) cannot be sent on D-Bus",
                      qUtf8Printable(name), qUtf8Printable(it.key()), it.value().typeName());
            return false;
        }
    }
    QDBusMessage signal = QDBusMessage::createSignal(busPath(), busInterface(), busSignal());
    signal << name << object << QVariant(userInfo);
    if (!bus->send(signal)) {
        qCWarning(lcBus, "could not post %s: %s", qUtf8Printable(name), qUtf8Printable(bus->lastError().message()));
        return false;
    }
    return true;
}

DistributedNotificationCenter::Token DistributedNotificationCenter::addObserver(const QString &name,
                                                                                const std::optional<QString> &object,
                                                                                Observer fn, QObject *context)
{
    auto bus = sessionBus();
    Token token = 0;
    bool subscribed = false;
    {
        std::lock_guard lock(m_registry->mutex);
        token = m_registry->next++;
        if (!bus) return token; // alone: nothing will ever arrive
        const Filter filter{name, object};
        const QString key = filter.key();
        Registry::Subscription &sub = m_registry->subscriptions[key];
        if (sub.observers == 0) {
            auto *receiver = new PostReceiver(m_registry, filter);
            if (QCoreApplication *app = QCoreApplication::instance()) receiver->moveToThread(app->thread());
            sub.receiver = receiver;
            sub.argumentMatch = filter.argumentMatch();
            if (!bus->connect(QString(), busPath(), busInterface(), busSignal(), sub.argumentMatch, postSignature(),
                              receiver, SLOT(onPost(QDBusMessage)))) {
                qCWarning(lcBus, "could not observe %s: %s", qUtf8Printable(name),
                          qUtf8Printable(bus->lastError().message()));
            }
            subscribed = true;
        }
        ++sub.observers;
        Registry::Entry entry{token, key, std::make_shared<Observer>(std::move(fn)), {}};
        if (context != nullptr) {
            entry.contextConnection =
                QObject::connect(context, &QObject::destroyed, [weak = std::weak_ptr<Registry>(m_registry), token]() {
                    if (const auto registry = weak.lock()) registry->remove(token);
                });
        }
        m_registry->entries.push_back(std::move(entry));
    }
    if (subscribed) {
        // The bus handles our messages in order: once it answers, the match rule is in
        // place, so a Post sent by anyone after addObserver returns reaches this observer.
        bus->call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                 QStringLiteral("/org/freedesktop/DBus"),
                                                 QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping")),
                  QDBus::Block, kSubscribeTimeoutMs);
    }
    return token;
}

void DistributedNotificationCenter::removeObserver(Token token)
{
    m_registry->remove(token);
}

QVariant DistributedNotificationCenter::pathsValue(const BytePathList &paths)
{
    registerTypes();
    QByteArrayList list;
    list.reserve(static_cast<qsizetype>(paths.size()));
    for (const BytePath &path : paths)
        list.append(path.toByteArray());
    return QVariant::fromValue(list);
}

std::optional<BytePathList> DistributedNotificationCenter::pathsFromUserInfo(const QVariantMap &userInfo)
{
    const auto it = userInfo.constFind(QString::fromLatin1(MessageNames::kPathsKey));
    if (it == userInfo.constEnd()) return std::nullopt;
    BytePathList paths;
    if (it->metaType() == QMetaType::fromType<QByteArrayList>()) {
        // a value made here by pathsValue that has not travelled
        for (const QByteArray &bytes : it->value<QByteArrayList>())
            paths.push_back(BytePath::fromBusBytes(bytes));
        return paths;
    }
    if (it->metaType() != QMetaType::fromType<QDBusArgument>()) return std::nullopt;
    const QDBusArgument arg = it->value<QDBusArgument>();
    if (arg.currentSignature() != QLatin1StringView("aay")) return std::nullopt;
    arg.beginArray();
    while (!arg.atEnd()) {
        QByteArray bytes;
        arg >> bytes;
        paths.push_back(BytePath::fromBusBytes(bytes));
    }
    arg.endArray();
    return paths;
}

} // namespace lurkel

#include "DistributedNotificationCenter.moc"
