#pragma once

// The house style the cash desk's reports share (the turnover report, its review variant, the
// daily cash report and a posting's printed document): the columns of a ruled record line and
// of the sums under it, and the page header and footer. Positions are millimetres from the
// band's left and top edges; amounts stand on their right edges.
//
// Figures (running numbers, amounts, sums) have a column: the room from their left
// neighbour's edge (less a small gap) to their own right edge. A figure wider than its column
// keeps its right edge and is drawn in a smaller font that fits, so a large journal never runs
// one figure into the next.

#include "Band.h"
#include "Element.h"

#include <QList>

namespace report::house {

constexpr int Bold = QFont::Bold;
constexpr double Gap = 0.8; // between a figure and its left neighbour
constexpr double CashierLeft = 44.7;
constexpr double DescriptionLeft = 71.2;
constexpr double DescriptionRight = DescriptionLeft + 54.0; // the right edge of its box
// Where a record's own columns (date or document number, time) start, after its number.
constexpr double RecordLeft = 8.5;

// Which amount columns a report prints.
struct Currencies
{
    bool dinars = true;
    bool euros = true;
};

// A ruled line per record, 5.6 mm high, taller when the description needs more than two
// lines (it is printed whole): the running number, `own` (the record's columns from
// RecordLeft on), the cashier, the description and the amount columns of `currencies`
// (ULAZDIN, IZLAZDIN, ULAZEUR, IZLAZEUR).
Band recordBand(const QList<Element> &own, Currencies currencies = {});

// The sums of the amount columns of `currencies`, 1.1 mm below the top of the summary band.
QList<Element> amountSums(Currencies currencies = {});

// The headings "DINARI" and "EUR" over the amount columns of `currencies`, each with its
// "Ulaz" and "Izlaz", at `top` (and the column heads 5.8 mm below it).
QList<Element> currencyHeadings(Currencies currencies = {}, double top = 19.6);

// The empty page header, 10.6 mm high.
Band pageHeaderBand();
// "Vreme:" with the time of printing and "Strana" with the page number, 10.6 mm high.
Band pageFooterBand();

} // namespace report::house
