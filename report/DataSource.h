#pragma once

// The records a report prints, as an interface any table can feed.

#include <QString>
#include <QtGlobal>

#include <optional>

namespace report {

// The records a report prints. The report engine reads them through this interface only,
// so any table or query can feed a report through a small adapter.
//
// The source has a current record, chosen with moveTo(). The engine moves forward one
// record at a time when it prints or sums, and jumps when the user pages to a later page;
// an adapter over a forward-only cursor should make the step to the next record cheap.
// Field names are matched without regard to case.
class DataSource
{
public:
    virtual ~DataSource() = default;

    virtual int recordCount() const = 0;

    // Makes record `index` (0-based) the current one. Returns false when there is no such
    // record; the current record is then undefined.
    virtual bool moveTo(int index) = 0;

    // The current record's field as display text (dates as date text, times as time
    // text). An unknown field gives an empty text.
    virtual QString text(const QString &field) const = 0;

    // The current record's field as an exact amount in hundredths; nothing when the field
    // is unknown, empty or not a number.
    virtual std::optional<qint64> hundredths(const QString &field) const = 0;

    // Why a record could not be read, once one could not (it then read as empty fields):
    // a report printed or saved from it would be missing records. Empty while every read
    // succeeded.
    virtual QString readError() const { return {}; }
};

} // namespace report
