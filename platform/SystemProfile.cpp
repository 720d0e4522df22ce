#include "SystemProfile.h"

#include <cstdlib>

namespace lurkel {

std::optional<QString> SystemProfile::productVersion()
{
    const char *value = std::getenv(kOverrideVariable);
    if (value == nullptr) return QString::fromLatin1(kDefaultVersion);
    if (*value == '\0') return std::nullopt;
    return QString::fromUtf8(value);
}

} // namespace lurkel
