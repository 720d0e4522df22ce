#include "MacOSVersion.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <cstdlib>

using lurkel::MacOSVersion;

namespace {

// The five cached flags as "10.9 10.10 10.11 10.13 10.14" bits, e.g. "11110".
std::string flags(const MacOSVersion &v)
{
    std::string out;
    for (bool b : {v.is_10_9_orHigher(), v.is_10_10_orHigher(), v.is_10_11_orHigher(), v.is_10_13_orHigher(),
                   v.is_10_14_orHigher()})
        out += b ? '1' : '0';
    return out;
}

} // namespace

TEST(MacOSVersion, NumericComparisonAndFlags)
{
    const auto cmp = [](const char *a, const char *b) {
        return MacOSVersion::compareVersions(QString::fromLatin1(a), QString::fromLatin1(b));
    };
    EXPECT_LT(cmp("10.9", "10.10"), 0);
    EXPECT_GT(cmp("11", "10.15.7"), 0);
    EXPECT_EQ(cmp("10.13", "10.13.0"), 0);
    EXPECT_LT(cmp("10.13", "10.13.1"), 0);

    EXPECT_EQ(flags(MacOSVersion(QStringLiteral("10.13"))), "11110");
    EXPECT_EQ(flags(MacOSVersion(QStringLiteral("10.14"))), "11111");
    EXPECT_EQ(flags(MacOSVersion(QStringLiteral("10.9.5"))), "10000");
    EXPECT_EQ(flags(MacOSVersion(QStringLiteral("10.8"))), "00000");
    EXPECT_EQ(flags(MacOSVersion(std::nullopt)), "11111"); // nothing readable: always yes
}

TEST(MacOSVersion, HasVersionOrLowerOrHigher)
{
    const MacOSVersion system(QStringLiteral("10.10"));
    const QString older = QStringLiteral("10.9"), same = QStringLiteral("10.10"), newer = QStringLiteral("10.11");
    EXPECT_TRUE(system.isMacOSHasVersionOrLowerOrHigher(older, false, true));
    EXPECT_FALSE(system.isMacOSHasVersionOrLowerOrHigher(newer, false, true));
    EXPECT_FALSE(system.isMacOSHasVersionOrLowerOrHigher(older, true, false));
    EXPECT_TRUE(system.isMacOSHasVersionOrLowerOrHigher(newer, true, false));
    EXPECT_TRUE(system.isMacOSHasVersionOrLowerOrHigher(same, false, false));
    EXPECT_FALSE(system.isMacOSHasVersionOrLowerOrHigher(newer, false, false));
    EXPECT_TRUE(system.isMacOSHasVersionOrLowerOrHigher(older, true, true));
    EXPECT_TRUE(system.isMacOSHasVersionOrLowerOrHigher(QString(), false, false));
    EXPECT_TRUE(MacOSVersion(std::nullopt).isMacOSHasVersionOrLowerOrHigher(newer, false, false));
}

TEST(MacOSVersion, ReadsTheSystemProfile)
{
    ASSERT_EQ(std::getenv("LURKEL_SYSTEM_VERSION"), nullptr); // cleared by the test environment
    EXPECT_EQ(MacOSVersion::GetInstance().macOSVersion(), QStringLiteral("10.13"));
    ::setenv("LURKEL_SYSTEM_VERSION", "10.15.7", 1);
    EXPECT_EQ(flags(MacOSVersion()), "11111");
    ::setenv("LURKEL_SYSTEM_VERSION", "", 1);
    EXPECT_TRUE(MacOSVersion().macOSVersion().isEmpty());
    ::unsetenv("LURKEL_SYSTEM_VERSION");
}
