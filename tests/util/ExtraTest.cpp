#include "Extra.h"

#include "QtPrinters.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <ctime>

using lurkel::Extra;

namespace {

QDateTime local(int y, int mo, int d, int h, int mi, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::LocalTime);
}

QDateTime utc(int y, int mo, int d, int h, int mi)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::UTC);
}

// Central European time with its clock changes, written out so that the zone database
// does not matter; English month names.
class ExtraDates : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
        ::tzset();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }

    static void expectTexts(const QDateTime &date, const QDateTime &now, const char *brief, const char *extended)
    {
        EXPECT_EQ(Extra::stringDateIntervalSinceNow(date, now), QString::fromLatin1(brief))
            << qPrintable(date.toString());
        EXPECT_EQ(Extra::stringDateIntervalSinceNowExtended(date, now), QString::fromLatin1(extended))
            << qPrintable(date.toString());
    }

    const QDateTime m_now = local(2024, 3, 15, 12, 0);
};

} // namespace

TEST_F(ExtraDates, RelativeTexts)
{
    expectTexts(m_now.addSecs(-4), m_now, "just now", "Just now");
    expectTexts(m_now.addSecs(-5), m_now, "just now", "5 seconds ago");
    expectTexts(m_now.addSecs(-60), m_now, "a minute ago", "A minute ago");
    expectTexts(m_now.addSecs(-3599), m_now, "59 minutes ago", "59 minutes ago");
    expectTexts(m_now.addSecs(-3600), m_now, "an hour ago", "An hour ago");
    expectTexts(local(2024, 3, 14, 12, 0, 1), m_now, "23 hours ago", "23 hours ago"); // not yet a whole day
    expectTexts(local(2024, 3, 14, 12, 0), m_now, "yesterday", "Opened 1 day ago");
    expectTexts(local(2024, 3, 13, 12, 0), m_now, "Mar, 13", "Opened 2 days ago");
    expectTexts(local(2024, 3, 8, 12, 0, 1), m_now, "Mar, 8", "Opened 6 days ago");
    expectTexts(local(2024, 3, 8, 12, 0), m_now, "1 week ago", "Opened more than 1 week ago");
    expectTexts(local(2024, 2, 15, 12, 0, 1), m_now, "4 weeks ago", "Opened more than 4 weeks ago"); // 29-day February
    expectTexts(local(2024, 2, 15, 12, 0), m_now, "1 month ago", "Opened more than 1 month ago");
    expectTexts(local(2023, 3, 15, 12, 0, 1), m_now, "11 months ago", "Opened more than 11 months ago");
    expectTexts(local(2023, 3, 15, 12, 0), m_now, "1 year ago", "Opened more than 1 year ago");
    expectTexts(local(2021, 1, 1, 0, 0), m_now, "3 years ago", "Opened more than 3 years ago");
    // a month from the 31st ends on the last day of a shorter month
    expectTexts(local(2024, 1, 31, 12, 0), local(2024, 2, 29, 12, 0), "1 month ago", "Opened more than 1 month ago");
    // the future
    expectTexts(m_now.addSecs(1), m_now, "just now", "Just now");
    expectTexts(m_now.addYears(2), m_now, "just now", "Just now");
}

TEST_F(ExtraDates, DaysAreCalendarDaysAcrossClockChanges)
{
    // 2024-03-31 has 23 hours: noon to noon is still one day
    expectTexts(local(2024, 3, 30, 12, 0), local(2024, 3, 31, 12, 0), "yesterday", "Opened 1 day ago");
    expectTexts(local(2024, 3, 30, 12, 30), local(2024, 3, 31, 12, 0), "22 hours ago", "22 hours ago");
}

TEST_F(ExtraDates, SameDayTimeShortDateAndYear)
{
    EXPECT_EQ(Extra::timeDescriptionIfSameDay(local(2024, 3, 15, 15, 7), m_now), QStringLiteral("3:07PM"));
    EXPECT_EQ(Extra::timeDescriptionIfSameDay(local(2024, 3, 15, 0, 5), m_now), QStringLiteral("12:05AM"));
    EXPECT_EQ(Extra::timeDescriptionIfSameDay(local(2024, 3, 14, 23, 59), m_now), std::nullopt);
    EXPECT_EQ(Extra::timeDescriptionIfSameDay(local(2023, 3, 15, 15, 7), m_now), std::nullopt);
    // 23:30 UTC on the 14th is already the 15th here
    EXPECT_EQ(Extra::timeDescriptionIfSameDay(utc(2024, 3, 14, 23, 30), m_now), QStringLiteral("12:30AM"));

    EXPECT_EQ(Extra::shortStringDate(local(2024, 9, 30, 23, 59)), QStringLiteral("Sep, 30"));
    EXPECT_EQ(Extra::shortStringDate(utc(2024, 9, 30, 23, 30)), QStringLiteral("Oct, 1"));
    EXPECT_EQ(Extra::shortStringDate(QDateTime::fromSecsSinceEpoch(0, Qt::UTC)), QString());
    EXPECT_EQ(Extra::shortStringDate(local(1970, 1, 1, 0, 0)), QStringLiteral("Jan, 1")); // not the epoch here
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(Extra::shortStringDate(local(2024, 3, 5, 10, 0)), QStringLiteral("M\u00e4r, 5"));

    EXPECT_EQ(Extra::currentGregorianYearWithMinValue(3000, m_now), 3000);
    EXPECT_EQ(Extra::currentGregorianYearWithMinValue(2000, m_now), 2024);
    EXPECT_EQ(Extra::currentGregorianYearWithMinValue(0, utc(2024, 12, 31, 23, 30)), 2025); // new year here
}
