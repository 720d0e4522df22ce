#include "VolumeName.h"

#include "QtPrinters.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <limits>
#include <unistd.h>

using lurkel::BytePath;
using lurkel::VolumeName;

constexpr std::int64_t kKiB = 1024;

TEST(VolumeName, StringFromSizeUnitBoundaries)
{
    const std::pair<std::int64_t, const char *> cases[] = {
        {-5, "-5 bytes"},
        {0, "0 bytes"},
        {999, "999 bytes"},
        {1000, "0.98 KB"},
        {1023, "1.00 KB"},
        {1024, "1.00 KB"},
        {1152, "1.12 KB"} /* 1.125: printf ties to even */,
        {10239, "10.00 KB"},
        {10240, "10.0 KB"},
        {102400, "100 KB"},
        {1000000, "977 KB"},
        {1023999, "1000 KB"},
        {1024000, "0.98 MB"},
        {1048000, "1.00 MB"},
        {3 * kKiB * kKiB * kKiB / 2, "1.50 GB"},
        {1000 * kKiB * kKiB * kKiB * kKiB, "1000 TB"},
        {std::numeric_limits<std::int64_t>::max(), "8388608 TB"},
    };
    for (const auto &[size, text] : cases)
        EXPECT_EQ(VolumeName::stringFromSize(size), QString::fromLatin1(text)) << size;
}

TEST(VolumeName, FormatMemoryStringDot1)
{
    const std::pair<std::uint64_t, const char *> cases[] = {
        {0, "0 B"},
        {1023, "1023 B"},
        {1024, "1 KB"},
        {1536, "1.5 KB"},
        {1280, "1.2 KB"} /* 1.25: tie to even */,
        {1792, "1.8 KB"} /* 1.75 */,
        {1383, "1.4 KB"},
        {1048575, "1024 KB"},
        {2097152, "2 MB"},
        {1ull << 40, "1 TB"},
        {1ull << 50, "1 PB"},
        {1ull << 60, "1"} /* no unit beyond PB */,
        {std::numeric_limits<std::uint64_t>::max(), "16"},
    };
    for (const auto &[size, text] : cases) {
        EXPECT_EQ(VolumeName::formatMemoryStringDot1(size), QString::fromLatin1(text)) << size;
        EXPECT_EQ(VolumeName::convertToStringFromFileSize(size), QString::fromLatin1(text)) << size;
    }
    // Ties are judged on the shortest decimal form, as a number formatter does: 0.15 and 9.95
    // lie just below the tie in binary but still round up to the even digit.
    const std::pair<double, const char *> numbers[] = {
        {1.35, "1.4"}, {1.45, "1.4"}, {0.05, "0"},        {0.15, "0.2"},
        {9.95, "10"},  {1.04, "1"},   {12345.0, "12345"}, {1.2500001, "1.3"},
    };
    for (const auto &[value, text] : numbers)
        EXPECT_EQ(VolumeName::formatDecimalDot1(value), QString::fromLatin1(text));
}

TEST(VolumeName, ParentPathAndOccurrences)
{
    const QString apps = QStringLiteral("/Applications");
    EXPECT_FALSE(VolumeName::isParentPathForPath(apps, apps));
    EXPECT_FALSE(VolumeName::isParentPathForPath(apps, QStringLiteral("/ApplicationsX/a")));
    EXPECT_FALSE(VolumeName::isParentPathForPath(apps, QStringLiteral("/applications/a")));
    EXPECT_TRUE(VolumeName::isParentPathForPath(apps, QStringLiteral("/Applications/a")));
    // bytes, not display strings: two invalid sequences would both show as U+FFFD
    EXPECT_TRUE(VolumeName::isParentPathForPath(BytePath("/a\xff"), BytePath("/a\xff/b")));
    EXPECT_FALSE(VolumeName::isParentPathForPath(BytePath("/a\xff"), BytePath("/a\xfe/b")));

    const auto count = [](const char *text, const char *part) {
        return VolumeName::numberOccurencesSubstring(QString::fromLatin1(text), QString::fromLatin1(part));
    };
    EXPECT_EQ(count("aaaa", "aa"), 2);
    EXPECT_EQ(count("aaa", "aa"), 1);
    EXPECT_EQ(count("abcABCabc", "abc"), 2);
    EXPECT_EQ(count("abc", ""), 0);
}

TEST(VolumeName, VolumeNameOfPaths)
{
    const BytePath home = lurkel::test::TestEnvironment::freshHome();
    const std::optional<QString> volume = VolumeName::volumeName(home);
    ASSERT_TRUE(volume.has_value());
    EXPECT_FALSE(volume->isEmpty());

    const BytePath odd = home / "caf\xe9-\xff.txt"; // not UTF-8
    lurkel::test::writeFile(odd, "x");
    EXPECT_EQ(VolumeName::volumeName(odd), volume);
    const BytePath link = home / "dangling"; // a link lies on its folder's volume
    ASSERT_EQ(::symlink("/nonexistent/target", link.c_str()), 0);
    EXPECT_EQ(VolumeName::volumeName(link), volume);

    EXPECT_EQ(VolumeName::volumeName(home / "missing"), std::nullopt);
    EXPECT_EQ(VolumeName::volumeName(BytePath()), std::nullopt);
    EXPECT_NE(VolumeName::volumeName(BytePath("/")).value_or(QString()), QString());
}
