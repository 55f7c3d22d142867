#pragma once

// The journal export "podaci.txt": six heading lines, then one fixed-column line per
// journal record, in Windows-1250 with CR LF after every line. Padding appends "_" up to a
// column and never cuts a field, so a long field pushes what follows to the right. An
// empty amount is written as 0.00. Every control character in a text (U+0000 to U+001F,
// U+007F) is written as one blank, so the file has exactly six lines plus one per record.
//
// The file is built straight from the stored records (Table::scan) into single-byte text:
// on a journal of 100,000 records that is several times faster than reading every field
// as text.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>

namespace engine {
class Table;
class DateTextFormat;
class RecordView;
} // namespace engine

namespace journal_export {

// The column header, line 6 of the file (135 characters).
extern const QString Header;

// The six heading lines.
QStringList headingLines(const QString &todayText, const QString &dinarBalance,
                         const QString &euroBalance);

// The six heading lines as the file holds them.
QByteArray headingBytes(const QString &todayText, const QString &dinarBalance,
                        const QString &euroBalance);

// Writes records of a journal table as the file's lines. Throws the engine's error when the
// table lacks one of the journal's fields.
class LineEncoder
{
public:
    LineEncoder(const engine::Table &journal, const engine::DateTextFormat &dateForm);
    // Appends the line of `record` (a record of that table, as scan() shows it), CR LF included.
    void append(QByteArray &out, const engine::RecordView &record) const;

private:
    std::array<int, 11> m_column{};
    const engine::DateTextFormat &m_dateForm;
    bool m_dayMonthYear;
};

// The whole file's bytes for the open journal table, its records from the first in table
// order, dates written in `dateForm`. Throws the engine's error when the table lacks one
// of the journal's fields.
QByteArray buildFile(const engine::Table &journal, const engine::DateTextFormat &dateForm,
                     const QString &todayText, const QString &dinarBalance,
                     const QString &euroBalance);

} // namespace journal_export
