#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace lurkel {

// Date texts (the date category). Calendar questions are answered in the Gregorian
// calendar of the local time zone; "now" is a parameter so that callers and tests decide
// what it is (the one-argument forms take it from Clock::instance()). Relative texts are
// fixed English; only the month names of shortStringDate() follow the locale.
class Extra {
public:
    Extra() = delete;

    // The time of day as "h:mma" ("3:07PM") when date falls on the same calendar day as
    // now, otherwise nullopt.
    static std::optional<QString> timeDescriptionIfSameDay(const QDateTime &date, const QDateTime &now);
    static std::optional<QString> timeDescriptionIfSameDay(const QDateTime &date);

    // A short relative text: "3 years ago", "1 month ago", "2 weeks ago", "yesterday",
    // shortStringDate() for 2..6 days, "an hour ago", "5 minutes ago", "just now".
    // Dates in the future give "just now".
    static QString stringDateIntervalSinceNow(const QDateTime &date, const QDateTime &now);
    static QString stringDateIntervalSinceNow(const QDateTime &date);

    // A relative text about when something was opened: "Opened more than 2 months ago",
    // "Opened 1 day ago", "An hour ago", "12 seconds ago" (from 5 seconds on), "Just now".
    // Dates in the future give "Just now".
    static QString stringDateIntervalSinceNowExtended(const QDateTime &date, const QDateTime &now);
    static QString stringDateIntervalSinceNowExtended(const QDateTime &date);

    // "<first three letters of the month name>, <day>" ("Mar, 5") with the month names of
    // the default locale; the empty text for 1970-01-01 00:00:00 UTC.
    static QString shortStringDate(const QDateTime &date);

    // The current Gregorian year, but at least minValue.
    static int currentGregorianYearWithMinValue(int minValue, const QDateTime &now);
    static int currentGregorianYearWithMinValue(int minValue);

    // The difference from one moment to a later one, split as a calendar does it: whole
    // years, then months, weeks and days in local calendar time, then the rest in hours,
    // minutes and seconds. All zero when to is not after from.
    struct Components {
        int years = 0;
        int months = 0;
        int weeks = 0;
        int days = 0;
        int hours = 0;
        int minutes = 0;
        int seconds = 0;
    };
    static Components components(const QDateTime &from, const QDateTime &to);
};

} // namespace lurkel
