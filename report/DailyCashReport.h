#pragma once

// The daily cash report's definition and the document it makes.

#include "Document.h"
#include "Report.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

namespace report {

// Names of the daily cash report's labels, which the caller fills at run time.
inline constexpr char DayReportTitle[] = "DayReportTitle";     // "BLAGAJNICKI IZVESTAJ br. 3/2026"
inline constexpr char DayReportDay[] = "DayReportDay";         // "za dan 07/12/2026"
inline constexpr char DayReportState[] = "DayReportState";     // who closed it, or NIJE ZAKLJUCEN
inline constexpr char DayReportHead[] = "DayReportHead";       // "Glava lanca: <hex>"
inline constexpr char DayReportKey[] = "DayReportKey"; // "Otisak kljuca za potpis: <hex>"
inline constexpr char OpeningDinars[] = "OpeningDinars";
inline constexpr char OpeningEur[] = "OpeningEur";
inline constexpr char ClosingDinars[] = "ClosingDinars";
inline constexpr char ClosingEur[] = "ClosingEur";
inline constexpr char SlipParty[] = "SlipParty"; // a voucher's "Uplatilac" or "Primalac"
inline constexpr char DayReportVouchers[] = "DayReportVouchers"; // "Broj priloga: 3"

enum class DayCurrencies { Dinars, Euros, Both };

// The daily cash report (blagajnicki izvestaj) in the house style of the turnover report:
// Letter, portrait, 12.7 mm margins; a title with the report's number, the day and whether
// it is closed, the column headings and the opening balance; one ruled line per document with
// its running number, document number, time, cashier, description and amounts; the day's sums,
// the new balance, how many vouchers (priloga) the lines printed have, and the signature lines of the cashier and the controller; "Vreme:" and
// "Strana" at the foot of every page. Only the columns of `currencies` are printed. It reads
// the fields BROJ, VREME, KORISNIK, OPIS, ULAZDIN, IZLAZDIN, ULAZEUR and IZLAZEUR.
Report dailyCashReport(DayCurrencies currencies);

// The voucher of one posting (nalog blagajni) in the same house style: one record, its
// fields NASLOV (title), STORNO (what a reversal reverses), BROJ, DATUM (date and time),
// VALUTA, IZNOS, SLOVIMA (the amount in words), OPIS, GRUPA and KORISNIK under their
// captions, PROTIVVREDNOST (a euro amount's dinar value) under them, and the signature lines
// of the cashier, of the one who pays in or takes the money and of the approver.
Report voucher();

// The figures of one day as the daily cash report prints them, amounts as money text
// ("1500.00"). The cash book gives them; the report engine only lays them out.
struct DayLine
{
    QString number, time, cashier, description;
    QString dinarsIn, dinarsOut, eurosIn, eurosOut;
    bool dinars = false; // whether the line has an amount in dinars
    bool euros = false;  // ... in euros
    // A euro line's dinar value ("23,434.70 DIN", or "nema kursa"), printed after the
    // description; empty for a line without euros.
    QString counterValue;
};
// A cash count as the daily report prints it under the day's sums: a heading ("POPIS
// GOTOVINE DIN, Petar Petrovic, 07/12/2026 18:30"), then a caption and an amount per line
// (each denomination's pieces, the total, the book balance, the difference and its document).
struct CountLine
{
    QString caption, amount;
};
struct CountFigures
{
    QString heading;
    QList<CountLine> lines;
};
struct DayFigures
{
    QDate day;
    int closeNumber = 0; // the report's number in its year; 0 while the day is open
    QString closedBy;
    QDateTime closedAt;
    QString chainHead; // hex, empty when there is none
    QString keyFingerprint; // the shop's signing key (hex), empty when there is none
    QString openingDinars, openingEuros, closingDinars, closingEuros;
    QList<DayLine> lines;
    QList<CountFigures> counts;
    // The cash limit and the excess at the close, a line per currency with a limit
    // ("Blagajnicki maksimum 100000.00 DIN, visak 2500.00 DIN").
    QStringList limitLines;
    // The euro rate of the day and the dinar value of the euro figures, printed when the
    // euro columns are.
    QStringList rateLines;
    // The day's deposits to the bank, and the warnings of receipts not deposited in time.
    QStringList depositLines;
    QStringList depositWarnings;
};

// The daily cash report of `figures`: the lines that have an amount in the currencies printed
// (all of them for both); the title carries the report's number and who closed the day, or
// "NIJE ZAKLJUCEN" when it is not closed.
Document dayReportDocument(const DayFigures &figures, DayCurrencies currencies,
                           const QDateTime &printTime);

// One posting's voucher: "NALOG BLAGAJNI ZA NAPLATU" for a receipt, "NALOG BLAGAJNI ZA
// ISPLATU" for a payment, with its number, date and time, currency, amount in figures and in
// words, reason, group and cashier; a reversal's says "STORNO dokumenta <original>".
struct VoucherFigures
{
    bool receipt = true;
    QString number;
    QString reverses; // the original's number when this is a reversal
    QString date;     // dd/MM/yyyy
    QString time;     // HH:MM:SS
    QString currency; // "DIN" or "EUR"
    QString amount;   // "3500.50"
    QString words;    // "tri hiljade petsto dinara i 50/100"
    QString description;
    QString group;
    QString cashier;
    // A euro voucher's "protivvrednost 23,434.70 DIN po srednjem kursu NBS 117.1735 na dan
    // 10.12.2026", under the cashier; empty for dinars.
    QString counterValue;
};
Document voucherDocument(const VoucherFigures &voucher, const QDateTime &printTime);

} // namespace report
