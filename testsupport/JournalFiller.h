#pragma once

// JournalFiller: fills DIR/podaci with a large, realistic journal for benchmarks and tests:
// postings in date order spread over several years, by several cashiers, in dinars and euros,
// in and out, over a handful of groups and frequent activities, each carrying the running
// balances. A directory without tables is first made whole as dorvanta-init makes it (the four
// tables with password "kvr604", "Admin" with code 12345, ftpop.txt holding "0"); then the
// cashiers (codes 101, 102, ...), activities and groups used are added to their tables. The
// postings themselves are written in one SQLite transaction in the documented table format, so
// a million postings take seconds.

#include <QDate>
#include <QString>

namespace testsupport {

struct FillOptions
{
    QString directory;       // the start directory; tables go to directory/podaci
    int postings = 100000;
    QDate firstDay = QDate(2019, 1, 1);
    QDate lastDay = QDate(2026, 12, 7);
    int cashiers = 5;
    quint32 seed = 1;
};

class JournalFiller
{
public:
    // Returns an empty string on success, else the reason.
    static QString fill(const FillOptions &options);
    // The login code and full name of cashier `i` (from 0) of a fresh directory.
    static QString cashierCode(int i);
    static QString cashierName(int i);
    // Codes longer than the login page's five characters could never be typed.
    static constexpr int MaxCashiers = 99999 - 100;
};

} // namespace testsupport
