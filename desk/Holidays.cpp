// Serbian public holidays and working days (Holidays.h).
#include "Holidays.h"

namespace desk::holidays {

namespace {

bool isWeekend(const QDate &day)
{
    return day.dayOfWeek() >= Qt::Saturday;
}

// The fixed and Easter holidays, without the days moved for a Sunday.
bool isOwnHoliday(const QDate &day)
{
    const int m = day.month(), d = day.day();
    if ((m == 1 && (d == 1 || d == 2 || d == 7)) || (m == 2 && (d == 15 || d == 16)) ||
        (m == 5 && (d == 1 || d == 2)) || (m == 11 && d == 11))
        return true;
    const QDate easter = orthodoxEaster(day.year());
    if (!easter.isValid())
        return false;
    const qint64 fromEaster = easter.daysTo(day);
    return fromEaster >= -2 && fromEaster <= 1;
}

// The holidays that move to the next working day when they fall on a Sunday.
bool movesFromSunday(const QDate &day)
{
    const int m = day.month(), d = day.day();
    return (m == 1 && (d == 1 || d == 2)) || (m == 2 && (d == 15 || d == 16)) ||
           (m == 5 && (d == 1 || d == 2)) || (m == 11 && d == 11);
}

} // namespace

QDate orthodoxEaster(int year)
{
    if (year < 1900 || year > 2099)
        return {};
    const int a = year % 4, b = year % 7, c = year % 19;
    const int d = (19 * c + 15) % 30;
    const int e = (2 * a + 4 * b - d + 34) % 7;
    const int month = (d + e + 114) / 31;
    const int dayOfMonth = (d + e + 114) % 31 + 1;
    // A Julian date, valid as a Gregorian date of the same numbers (March or April), moved by
    // the 13 days between the calendars in these years.
    return QDate(year, month, dayOfMonth).addDays(13);
}

bool isHoliday(const QDate &day)
{
    if (!day.isValid())
        return false;
    if (isOwnHoliday(day))
        return true;
    if (isWeekend(day))
        return false;
    // A weekday after a Sunday holiday is off when every day between that Sunday and it is
    // off (a holiday or a weekend): it is the first working day after the Sunday. Back at
    // most a week, past holidays that follow one another (1 and 2 May, then Easter).
    for (QDate before = day.addDays(-1); before >= day.addDays(-7); before = before.addDays(-1)) {
        if (before.dayOfWeek() == Qt::Sunday && movesFromSunday(before))
            return true;
        if (!isWeekend(before) && !isOwnHoliday(before))
            return false;
    }
    return false;
}

bool isWorkingDay(const QDate &day)
{
    return day.isValid() && !isWeekend(day) && !isHoliday(day);
}

int workingDaysAfter(const QDate &from, const QDate &to)
{
    int count = 0;
    for (QDate d = from.addDays(1); d <= to; d = d.addDays(1))
        count += isWorkingDay(d) ? 1 : 0;
    return count;
}

QDate lastWorkingDayOnOrBefore(const QDate &day)
{
    QDate d = day;
    while (d.isValid() && !isWorkingDay(d))
        d = d.addDays(-1);
    return d;
}

} // namespace desk::holidays
