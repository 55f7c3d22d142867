#pragma once

// Working days in Serbia: a day that is neither a Saturday, a Sunday nor a public holiday on
// which work stops. The holidays are those of the Republic's law on public holidays:
//
//   1 and 2 January (New Year), 7 January (Christmas, first day), 15 and 16 February
//   (Statehood Day), 1 and 2 May (Labour Day), 11 November (Armistice Day), and Orthodox
//   Easter from Good Friday to Easter Monday.
//
// When New Year, Statehood Day, Labour Day or Armistice Day falls on a Sunday, the first
// working day after it is off as well (the law's rule; Christmas and Easter are not moved).
// Orthodox Easter is computed: the Julian computus gives its Julian date, and 13 days make it a
// Gregorian one (right from 1900 to 2099; outside those years no Easter is counted).

#include <QDate>

namespace desk::holidays {

// Orthodox Easter Sunday of `year` in the Gregorian calendar; invalid outside 1900-2099.
QDate orthodoxEaster(int year);

// Whether `day` is a public holiday on which work stops (a moved day too).
bool isHoliday(const QDate &day);

// Neither a weekend nor a holiday.
bool isWorkingDay(const QDate &day);

// The working days after `from` up to and including `to` (0 when `to` is not after `from`).
int workingDaysAfter(const QDate &from, const QDate &to);

// The last working day on or before `day`.
QDate lastWorkingDayOnOrBefore(const QDate &day);

} // namespace desk::holidays
