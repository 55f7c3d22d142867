#pragma once

// The month report's definition and the document it makes.

#include "Document.h"
#include "Report.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace report {

// Names of the month report's title labels, which the caller fills at run time.
inline constexpr char MonthReportTitle[] = "MonthReportTitle";   // "MESECNI BLAGAJNICKI IZVESTAJ"
inline constexpr char MonthReportPeriod[] = "MonthReportPeriod"; // "za mesec 12/2026"
inline constexpr char MonthChartDinars[] = "ChartDinars";
inline constexpr char MonthChartEuros[] = "ChartEur";

// One period's amounts in one currency, in hundredths.
struct PeriodAmounts
{
    qint64 opening = 0, in = 0, out = 0, closing = 0, counted = 0, deposited = 0;
};
// One row: a day ("07/12/2026") or a month ("12/2026"), and its label on the charts ("7").
struct PeriodLine
{
    QString label;
    QString category;
    PeriodAmounts dinars, euros;
};
struct PeriodFigures
{
    QString title;
    QString period;
    QString categoryTitle; // "Dan" or "Mesec"
    QList<PeriodLine> lines;
    PeriodLine total;                       // its label is the row's caption, "UKUPNO"
    qint64 limitDinars = 0, limitEuros = 0; // 0: none
};

// The month report (or the year's) in the house style: a title with the period and the column
// headings; two lines per period, DIN and EUR, with the opening balance, the receipts, the
// payments, the closing balance, the counts' differences and the deposits; the totals as the
// last row; then a page with a chart per currency (the closing balance as a line, receipts and
// payments as bars, the cash limit dashed); "Vreme:" and "Strana" at the foot of every page.
Document monthReportDocument(const PeriodFigures &figures, const QDateTime &printTime);

} // namespace report
