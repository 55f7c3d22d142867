// The journal export "podaci.txt", built straight from the stored journal records.
#include "JournalExport.h"

#include "engine/Table.h"
#include "engine/TextForms.h"
#include "platform/DecimalText.h"
#include "platform/TextFiles.h"

#include <array>

namespace journal_export {

const QString Header = QStringLiteral(
    "KORISNIK__________________DATUM______VREME______STANJE DIN__STANJE EUR___IZLAZ DIN___"
    "IZLAZ EUR___ULAZ DIN___ULAZ EUR___GRUPA_______OPIS");

namespace {

enum Field { Korisnik, Datum, Vreme, StanjeDin, StanjeEur, IzlazDin, IzlazEur, UlazDin, UlazEur,
             Grupa, Opis, FieldCount };

const std::array<const char *, FieldCount> FieldNames = {
    "KORISNIK", "DATUM",    "VREME",   "STANJEDIN", "STANJEEUR", "IZLAZDIN",
    "IZLAZEUR", "ULAZDIN", "ULAZEUR", "GRUPA",     "OPIS"};

// Appends "_" until the line that starts at `lineStart` is `width` long.
inline void padTo(QByteArray &out, qsizetype lineStart, qsizetype width)
{
    const qsizetype length = out.size() - lineStart;
    if (length < width)
        out.append(width - length, '_');
}

inline bool isAscii(QByteArrayView bytes)
{
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// A stored text in the file's single-byte code page, every control character (0x00 to
// 0x1F, 0x7F) written as one blank so that a record stays one line whatever its texts hold.
// Those bytes stand for themselves in UTF-8 and in Windows-1250 alike.
inline void appendText(QByteArray &out, QByteArrayView utf8)
{
    const qsizetype start = out.size();
    if (isAscii(utf8))
        out.append(utf8);
    else
        out.append(platform::toWindows1250(QString::fromUtf8(utf8)));
    for (char *p = out.data() + start, *end = out.data() + out.size(); p != end; ++p)
        if (static_cast<unsigned char>(*p) < 0x20 || *p == 0x7F)
            *p = ' ';
}

// Money text of a count of hundredths: "1500.00", "-20.50"; empty is "0.00".
inline void appendMoney(QByteArray &out, bool empty, qint64 hundredths)
{
    if (empty) {
        out.append("0.00", 4);
        return;
    }
    char buffer[platform::hundredthsTextCapacity];
    char *const end = buffer + sizeof buffer;
    const char *p = platform::writeHundredths(end, hundredths);
    out.append(p, end - p);
}

} // namespace

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

QByteArray headingBytes(const QString &todayText, const QString &dinarBalance,
                        const QString &euroBalance)
{
    QByteArray out;
    for (const QString &line : headingLines(todayText, dinarBalance, euroBalance)) {
        out.append(platform::toWindows1250(platform::withoutControlCharacters(line)));
        out.append("\r\n", 2);
    }
    return out;
}

LineEncoder::LineEncoder(const engine::Table &journal, const engine::DateTextFormat &dateForm)
    : m_dateForm(dateForm), m_dayMonthYear(dateForm.format() == QLatin1String("dd/MM/yyyy"))
{
    static_assert(std::tuple_size_v<decltype(m_column)> == FieldCount);
    for (int f = 0; f < FieldCount; ++f) {
        const QString name = QString::fromLatin1(FieldNames[f]);
        m_column[f] = journal.fieldIndex(name);
        if (m_column[f] < 0)
            journal.fieldType(name); // throws the engine's "Unknown field" error
    }
}

void LineEncoder::append(QByteArray &out, const engine::RecordView &r) const
{
    const auto &column = m_column;
    const qsizetype start = out.size();
    const auto money = [&](Field f) {
        appendMoney(out, r.isNull(column[f]), r.integer(column[f]));
    };
    appendText(out, r.utf8(column[Korisnik]));
    padTo(out, start, 22);
    out.append("__", 2);
    const QByteArrayView iso = r.utf8(column[Datum]);
    int year = 0, month = 0, day = 0;
    if (m_dayMonthYear && platform::readIsoDate(iso.data(), iso.size(), year, month, day)) {
        const char date[10] = {iso[8], iso[9], '/', iso[5], iso[6], '/',
                               iso[0], iso[1], iso[2], iso[3]};
        out.append(date, 10);
    } else if (!iso.isEmpty()) {
        appendText(out, m_dateForm.isoToText(QString::fromUtf8(iso)).toUtf8());
    }
    out.append("__", 2);
    appendText(out, r.utf8(column[Vreme]));
    padTo(out, start, 48);
    money(StanjeDin);
    padTo(out, start, 63);
    money(StanjeEur);
    padTo(out, start, 74);
    money(IzlazDin);
    padTo(out, start, 86);
    money(IzlazEur);
    padTo(out, start, 98);
    money(UlazDin);
    padTo(out, start, 109);
    money(UlazEur);
    padTo(out, start, 119);
    appendText(out, r.utf8(column[Grupa]));
    padTo(out, start, 131);
    appendText(out, r.utf8(column[Opis]));
    out.append("\r\n", 2);
}

QByteArray buildFile(const engine::Table &journal, const engine::DateTextFormat &dateForm,
                     const QString &todayText, const QString &dinarBalance,
                     const QString &euroBalance)
{
    const LineEncoder encoder(journal, dateForm);
    QByteArray out = headingBytes(todayText, dinarBalance, euroBalance);
    out.reserve(qsizetype(journal.recordCount()) * 160 + 512);
    journal.scan([&](const engine::RecordView &r) { encoder.append(out, r); });
    return out;
}

} // namespace journal_export
