#include "JournalExport.h"

#include "engine/Table.h"

namespace journal_export {

const QString Header = QStringLiteral(
    "KORISNIK__________________DATUM______VREME______STANJE DIN__STANJE EUR___IZLAZ DIN___"
    "IZLAZ EUR___ULAZ DIN___ULAZ EUR___GRUPA_______OPIS");

namespace {

// Appends "_" until the line (which starts at `lineStart` in `out`) is `width` long.
inline void padTo(QString &out, qsizetype lineStart, qsizetype width)
{
    const qsizetype length = out.size() - lineStart;
    if (length < width)
        out.append(QString(width - length, u'_'));
}

// An empty amount field is written as 0.00.
inline const QString &amount(const QString &text)
{
    static const QString zero = QStringLiteral("0.00");
    return text.isEmpty() ? zero : text;
}

} // namespace

void appendRecordLine(QString &out, const RecordTexts &r)
{
    const qsizetype start = out.size();
    out += r.korisnik;
    padTo(out, start, 22);
    out += QLatin1String("__");
    out += r.datum;
    out += QLatin1String("__");
    out += r.vreme;
    padTo(out, start, 48);
    out += amount(r.stanjeDin);
    padTo(out, start, 63);
    out += amount(r.stanjeEur);
    padTo(out, start, 74);
    out += amount(r.izlazDin);
    padTo(out, start, 86);
    out += amount(r.izlazEur);
    padTo(out, start, 98);
    out += amount(r.ulazDin);
    padTo(out, start, 109);
    out += amount(r.ulazEur);
    padTo(out, start, 119);
    out += r.grupa;
    padTo(out, start, 131);
    out += r.opis;
}

QStringList headingLines(const QString &todayText, const QString &dinarBalance,
                         const QString &euroBalance)
{
    return {QStringLiteral("DATUM: ") + todayText,
            QStringLiteral("_"),
            QStringLiteral("Stanje kase u dinarima: ") + dinarBalance,
            QStringLiteral("Stanje kase u eurima  : ") + euroBalance,
            QStringLiteral("_"),
            Header};
}

QString buildText(engine::Table &journal, const QString &todayText, const QString &dinarBalance,
                  const QString &euroBalance)
{
    QString text;
    text.reserve(qsizetype(journal.recordCount()) * 150 + 400);
    for (const QString &line : headingLines(todayText, dinarBalance, euroBalance)) {
        text += line;
        text += QLatin1String("\r\n");
    }

    const int korisnik = journal.fieldIndex(QStringLiteral("KORISNIK"));
    const int datum = journal.fieldIndex(QStringLiteral("DATUM"));
    const int vreme = journal.fieldIndex(QStringLiteral("VREME"));
    const int opis = journal.fieldIndex(QStringLiteral("OPIS"));
    const int grupa = journal.fieldIndex(QStringLiteral("GRUPA"));
    const int ulazDin = journal.fieldIndex(QStringLiteral("ULAZDIN"));
    const int izlazDin = journal.fieldIndex(QStringLiteral("IZLAZDIN"));
    const int ulazEur = journal.fieldIndex(QStringLiteral("ULAZEUR"));
    const int izlazEur = journal.fieldIndex(QStringLiteral("IZLAZEUR"));
    const int stanjeDin = journal.fieldIndex(QStringLiteral("STANJEDIN"));
    const int stanjeEur = journal.fieldIndex(QStringLiteral("STANJEEUR"));
    // A missing field is named by the engine's own error.
    const auto field = [&journal](int index, const char *name) {
        return index >= 0 ? journal.fieldText(index)
                          : journal.fieldText(QString::fromLatin1(name));
    };

    RecordTexts r;
    for (journal.first(); !journal.eof(); journal.next()) {
        r.korisnik = field(korisnik, "KORISNIK");
        r.datum = field(datum, "DATUM");
        r.vreme = field(vreme, "VREME");
        r.opis = field(opis, "OPIS");
        r.grupa = field(grupa, "GRUPA");
        r.ulazDin = field(ulazDin, "ULAZDIN");
        r.izlazDin = field(izlazDin, "IZLAZDIN");
        r.ulazEur = field(ulazEur, "ULAZEUR");
        r.izlazEur = field(izlazEur, "IZLAZEUR");
        r.stanjeDin = field(stanjeDin, "STANJEDIN");
        r.stanjeEur = field(stanjeEur, "STANJEEUR");
        appendRecordLine(text, r);
        text += QLatin1String("\r\n");
    }
    return text;
}

} // namespace journal_export
