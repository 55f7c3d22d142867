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

namespace engine {
class Table;
class DateTextFormat;
} // namespace engine

namespace journal_export {

// The column header, line 6 of the file (135 characters).
extern const QString Header;

// The six heading lines.
QStringList headingLines(const QString &todayText, const QString &dinarBalance,
                         const QString &euroBalance);

// The whole file's bytes for the open journal table, its records from the first in table
// order, dates written in `dateForm`. Throws the engine's error when the table lacks one
// of the journal's fields.
QByteArray buildFile(const engine::Table &journal, const engine::DateTextFormat &dateForm,
                     const QString &todayText, const QString &dinarBalance,
                     const QString &euroBalance);

} // namespace journal_export
