#pragma once

// The journal export "podaci.txt": six heading lines, then one fixed-column line per
// journal record. Padding appends "_" up to a column and never cuts a field, so a long
// field pushes what follows to the right.

#include <QString>
#include <QStringList>

namespace engine {
class Table;
}

namespace journal_export {

// The column header, line 6 of the file (135 characters).
extern const QString Header;

// The values of one record as text, in the journal's field order.
struct RecordTexts
{
    QString korisnik, datum, vreme, opis, grupa;
    QString ulazDin, izlazDin, ulazEur, izlazEur, stanjeDin, stanjeEur;
};

// Appends one record line (without line end) to `out`.
void appendRecordLine(QString &out, const RecordTexts &record);

// The six heading lines.
QStringList headingLines(const QString &todayText, const QString &dinarBalance,
                         const QString &euroBalance);

// Reads every record of the open journal table from its first record and returns the
// whole file's text, each line ending in CR LF. Throws the engine's error.
QString buildText(engine::Table &journal, const QString &todayText, const QString &dinarBalance,
                  const QString &euroBalance);

} // namespace journal_export
