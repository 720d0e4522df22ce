#include "Extra.h"

#include "Clock.h"

#include <QLocale>

#include <algorithm>

namespace lurkel {
namespace {

// The "h:mma" formatter: English AM/PM markers, like every other relative-date text.
const QLocale &timeOfDayLocale()
{
    static const QLocale locale(QLocale::English, QLocale::UnitedStates);
    return locale;
}

QString countText(int count, const char *one, const char *many)
{
    if (count == 1) return QString::fromLatin1(one);
    return QString::fromLatin1(many).arg(count);
}

} // namespace

Extra::Components Extra::components(const QDateTime &from, const QDateTime &to)
{
    Components c;
    const QDateTime start = from.toLocalTime();
    const QDateTime end = to.toLocalTime();
    if (!start.isValid() || !end.isValid() || end <= start) return c;

    // Whole months first (years are twelve of them): adding months keeps the wall-clock
    // time and clamps the day to the month's length, as a calendar does.
    int months = (end.date().year() - start.date().year()) * 12 + (end.date().month() - start.date().month());
    while (months > 0 && start.addMonths(months) > end)
        --months;
    QDateTime cursor = start.addMonths(months);

    // Whole calendar days (a day across a clock change is still one day), then weeks.
    qint64 days = cursor.date().daysTo(end.date());
    while (days > 0 && cursor.addDays(days) > end)
        --days;
    cursor = cursor.addDays(days);

    const qint64 seconds = std::max<qint64>(0, cursor.secsTo(end));
    c.years = months / 12;
    c.months = months % 12;
    c.weeks = static_cast<int>(days / 7);
    c.days = static_cast<int>(days % 7);
    c.hours = static_cast<int>(seconds / 3600);
    c.minutes = static_cast<int>(seconds % 3600 / 60);
    c.seconds = static_cast<int>(seconds % 60);
    return c;
}

std::optional<QString> Extra::timeDescriptionIfSameDay(const QDateTime &date, const QDateTime &now)
{
    const QDateTime local = date.toLocalTime();
    if (!local.isValid() || local.date() != now.toLocalTime().date()) return std::nullopt;
    return timeOfDayLocale().toString(local.time(), QStringLiteral("h:mmAP"));
}

std::optional<QString> Extra::timeDescriptionIfSameDay(const QDateTime &date)
{
    return timeDescriptionIfSameDay(date, Clock::instance().currentDateTime());
}

QString Extra::stringDateIntervalSinceNow(const QDateTime &date, const QDateTime &now)
{
    const Components c = components(date, now);
    if (c.years > 0) return countText(c.years, "1 year ago", "%1 years ago");
    if (c.months > 0) return countText(c.months, "1 month ago", "%1 months ago");
    if (c.weeks > 0) return countText(c.weeks, "1 week ago", "%1 weeks ago");
    if (c.days == 1) return QStringLiteral("yesterday");
    if (c.days > 1) return shortStringDate(date);
    if (c.hours > 0) return countText(c.hours, "an hour ago", "%1 hours ago");
    if (c.minutes > 0) return countText(c.minutes, "a minute ago", "%1 minutes ago");
    return QStringLiteral("just now");
}

QString Extra::stringDateIntervalSinceNow(const QDateTime &date)
{
    return stringDateIntervalSinceNow(date, Clock::instance().currentDateTime());
}

QString Extra::stringDateIntervalSinceNowExtended(const QDateTime &date, const QDateTime &now)
{
    const Components c = components(date, now);
    if (c.years > 0) return countText(c.years, "Opened more than 1 year ago", "Opened more than %1 years ago");
    if (c.months > 0) return countText(c.months, "Opened more than 1 month ago", "Opened more than %1 months ago");
    if (c.weeks > 0) return countText(c.weeks, "Opened more than 1 week ago", "Opened more than %1 weeks ago");
    if (c.days > 0) return countText(c.days, "Opened 1 day ago", "Opened %1 days ago");
    if (c.hours > 0) return countText(c.hours, "An hour ago", "%1 hours ago");
    if (c.minutes > 0) return countText(c.minutes, "A minute ago", "%1 minutes ago");
    if (c.seconds >= 5) return QStringLiteral("%1 seconds ago").arg(c.seconds);
    return QStringLiteral("Just now");
}

QString Extra::stringDateIntervalSinceNowExtended(const QDateTime &date)
{
    return stringDateIntervalSinceNowExtended(date, Clock::instance().currentDateTime());
}

QString Extra::shortStringDate(const QDateTime &date)
{
    if (!date.isValid() || date.toMSecsSinceEpoch() == 0) return QString();
    const QDate day = date.toLocalTime().date();
    const int month = std::clamp(day.month(), 1, 12);
    const QString monthName = QLocale().monthName(month, QLocale::LongFormat).left(3);
    return QStringLiteral("%1, %2").arg(monthName).arg(day.day());
}

int Extra::currentGregorianYearWithMinValue(int minValue, const QDateTime &now)
{
    return std::max(now.toLocalTime().date().year(), minValue);
}

int Extra::currentGregorianYearWithMinValue(int minValue)
{
    return currentGregorianYearWithMinValue(minValue, Clock::instance().currentDateTime());
}

} // namespace lurkel
