#pragma once

#include <QString>

#include <optional>

namespace lurkel {

// Answers to "is the system at least version X?" for code written against version checks.
// The version comes from SystemProfile (Linux answers "10.13"); when no version can be
// read, every question answers yes.
class MacOSVersion {
public:
    // The process's instance, reading the system version once.
    static MacOSVersion &GetInstance();

    // An instance for the system's version, or for the given one (nullopt or empty: no
    // version could be read).
    MacOSVersion();
    explicit MacOSVersion(std::optional<QString> version);

    // The product version, empty when it could not be read.
    const QString &macOSVersion() const { return m_sMacOSVersion; }

    bool is_10_9_orHigher() const { return m_bIs_10_9_orHigher; }
    bool is_10_10_orHigher() const { return m_bIs_10_10_orHigher; }
    bool is_10_11_orHigher() const { return m_bIs_10_11_orHigher; }
    bool is_10_13_orHigher() const { return m_bIs_10_13_orHigher; }
    bool is_10_14_orHigher() const { return m_is_10_14_orHigher; }

    // Yes when version or the system version is missing (empty), or when both orLower and
    // orHigher are set. Otherwise the system version is compared numerically with version:
    // only orHigher: system >= version; only orLower: system <= version; neither: equal.
    bool isMacOSHasVersionOrLowerOrHigher(const QString &version, bool orLower, bool orHigher) const;

    // Numeric comparison of dotted versions, component by component ("10.9" < "10.10");
    // a missing component counts as 0 ("10.13" == "10.13.0"). Within a component the
    // leading digits compare as a number, anything after them as text. Negative, 0 or
    // positive like strcmp.
    static int compareVersions(const QString &a, const QString &b);

    // Computes the cached flags from the version.
    void initCachedData();

private:
    QString m_sMacOSVersion;
    bool m_bIs_10_9_orHigher = true;
    bool m_bIs_10_10_orHigher = true;
    bool m_bIs_10_11_orHigher = true;
    bool m_bIs_10_13_orHigher = true;
    bool m_is_10_14_orHigher = true;
};

} // namespace lurkel
