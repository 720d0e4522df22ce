#include "NotificationCenter.h"

namespace lurkel {

NotificationCenter &NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

NotificationCenter::Token NotificationCenter::addObserver(const QString &name, const QVariant &object, Observer fn,
                                                          QObject *context)
{
    Token token = 0;
    {
        std::lock_guard lock(m_mutex);
        token = m_next++;
        m_entries.push_back(Entry{token, name, object, std::make_shared<Observer>(std::move(fn))});
    }
    if (context != nullptr) {
        QObject::connect(context, &QObject::destroyed, [this, token]() { removeObserver(token); });
    }
    return token;
}

void NotificationCenter::removeObserver(Token token)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_entries, [token](const Entry &e) { return e.token == token; });
}

void NotificationCenter::post(const QString &name, const QVariant &object, const QVariantMap &userInfo)
{
    std::vector<std::pair<Token, std::shared_ptr<Observer>>> matching;
    {
        std::lock_guard lock(m_mutex);
        for (const Entry &e : m_entries) {
            if (!e.name.isEmpty() && e.name != name) continue;
            if (e.object.isValid() && e.object != object) continue;
            matching.emplace_back(e.token, e.fn);
        }
    }
    const Notification note{name, object, userInfo};
    for (const auto &[token, fn] : matching) {
        bool stillThere = false;
        {
            // an observer removed by an earlier one in this post is not called
            std::lock_guard lock(m_mutex);
            for (const Entry &e : m_entries) {
                if (e.token == token) {
                    stillThere = true;
                    break;
                }
            }
        }
        if (stillThere) (*fn)(note);
    }
}

std::size_t NotificationCenter::observerCount() const
{
    std::lock_guard lock(m_mutex);
    return m_entries.size();
}

} // namespace lurkel
