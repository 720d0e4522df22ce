#pragma once

#include <QString>

#include <optional>

namespace lurkel {

// The answer to "which system version is this?" for code written against version checks.
// Linux answers "10.13": no automation-permission prompts, every 10.13 feature. The
// environment variable LURKEL_SYSTEM_VERSION overrides it for tests; an empty value means
// that no version can be read.
class SystemProfile {
public:
    static inline constexpr const char kDefaultVersion[] = "10.13";
    static inline constexpr const char kOverrideVariable[] = "LURKEL_SYSTEM_VERSION";
    static std::optional<QString> productVersion();
};

} // namespace lurkel
