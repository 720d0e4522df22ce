#include "FreshChecker.h"

#include "UserDefaults.h"

#include <utility>

namespace lurkel {

FreshChecker::FreshChecker(UserDefaults &storage, QString key) : m_storage(storage), m_key(std::move(key)) {}

int FreshChecker::lastReadVersion() const
{
    return static_cast<int>(m_storage.integerForKey(m_key));
}

bool FreshChecker::isFresh(int version) const
{
    return version > lastReadVersion();
}

void FreshChecker::markAsRead(int version)
{
    if (!isFresh(version)) return;
    m_storage.setInteger(m_key, version);
    m_storage.synchronize();
}

} // namespace lurkel
