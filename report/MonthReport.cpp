// The month report: its table in the house style, and its chart page.
#include "MonthReport.h"

#include "Chart.h"
#include "HouseStyle.h"
#include "MemoryDataSource.h"
#include "MoneyText.h"

namespace report {

namespace {

using namespace house;

constexpr double LineStep = 4.4; // the EUR line under the DIN line
constexpr double CurrencyLeft = 24.0;
constexpr double ChartHeight = 108.0;

// The amount columns: field suffix, heading and right edge.
const struct
{
    const char *field;
    const char *heading;
    double right;
} Columns[] = {
    {"PRETHODNO", "Preth. stanje", 60.0},
    {"ULAZ", "Ulaz", 86.0},
    {"IZLAZ", "Izlaz", 112.0},
    {"STANJE", "Novo stanje", 138.0},
    {"POPIS", "Razlika popisa", 164.0},
    {"POLOG", "Polog", 188.4},
};
constexpr double ColumnWidth = 25.0;

QStringList fieldNames()
{
    QStringList names{QStringLiteral("PERIOD")};
    for (const char *currency : {"DIN", "EUR"})
        for (const auto &c : Columns)
            names << QString::fromLatin1(c.field) + QString::fromLatin1(currency);
    return names;
}

Band titleBand()
{
    Band b;
    b.kind = BandKind::Title;
    b.height = 24.0;
    b.elements = {
        Element::label(QString(), 2.1, 2.1).named(MonthReportTitle).withFont(16, Bold),
        Element::label(QString(), 2.1, 9.5).named(MonthReportPeriod).withFont(12, Bold),
        Element::label(QStringLiteral("Period"), 2.1, 18.4)
            .named(QStringLiteral("HeadingPeriod"))
            .withFont(9, Bold),
        Element::label(QStringLiteral("Valuta"), CurrencyLeft, 18.4)
            .named(QStringLiteral("HeadingCurrency"))
            .withFont(9, Bold),
    };
    for (const auto &c : Columns)
        b.elements << Element::label(QString::fromLatin1(c.heading), c.right, 18.4)
                          .named(QStringLiteral("Heading") + QString::fromLatin1(c.field))
                          .alignedRight()
                          .withFont(9, Bold)
                          .fittingIn(ColumnWidth);
    return b;
}

Band detailBand()
{
    Band b;
    b.kind = BandKind::Detail;
    b.height = 2 * LineStep + 0.6;
    b.ruleBottom = true;
    b.elements << Element::dataField(QStringLiteral("PERIOD"), 2.1, 0.5)
                      .named(QStringLiteral("Period"))
                      .withFont(8)
                      .fittingIn(CurrencyLeft - 2.1 - Gap);
    double top = 0.5;
    for (const char *currency : {"DIN", "EUR"}) {
        const QString code = QString::fromLatin1(currency);
        b.elements << Element::label(code, CurrencyLeft, top)
                          .named(QStringLiteral("Currency"))
                          .withFont(8);
        for (const auto &c : Columns)
            b.elements << Element::dataField(QString::fromLatin1(c.field) + code, c.right, top)
                              .named(QString::fromLatin1(c.field) + code)
                              .alignedRight()
                              .withFont(8)
                              .fittingIn(ColumnWidth);
        top += LineStep;
    }
    return b;
}

std::shared_ptr<const Chart> chartOf(const PeriodFigures &f, bool euros)
{
    auto chart = std::make_shared<Chart>();
    const QString code = euros ? QStringLiteral("EUR") : QStringLiteral("DIN");
    chart->title = euros ? QStringLiteral("EUR") : QStringLiteral("DINARI");
    chart->categoryTitle = f.categoryTitle;
    chart->valueTitle = QStringLiteral("Iznos (%1)").arg(code);
    Chart::Series in{QStringLiteral("Ulaz"), {}, QColor(110, 160, 215)};
    Chart::Series out{QStringLiteral("Izlaz"), {}, QColor(225, 125, 80)};
    chart->line = {QStringLiteral("Stanje na kraju"), {}, Qt::black};
    for (const PeriodLine &l : f.lines) {
        const PeriodAmounts &a = euros ? l.euros : l.dinars;
        chart->categories << l.category;
        in.values << a.in;
        out.values << a.out;
        chart->line.values << a.closing;
    }
    chart->bars = {in, out};
    chart->limit = euros ? f.limitEuros : f.limitDinars;
    if (chart->limit != 0)
        chart->limitName =
            QStringLiteral("Blagajnicki maksimum %1 %2").arg(formatHundredths(chart->limit), code);
    return chart;
}

Band chartBand(const PeriodFigures &f)
{
    Band b;
    b.kind = BandKind::Summary;
    b.height = 2 * ChartHeight + 6.0;
    b.elements = {
        Element::chartIn(chartOf(f, false), 0.0, 2.0, 190.5, ChartHeight).named(MonthChartDinars),
        Element::chartIn(chartOf(f, true), 0.0, ChartHeight + 6.0, 190.5, ChartHeight)
            .named(MonthChartEuros),
    };
    return b;
}

QStringList rowOf(const PeriodLine &l)
{
    QStringList row{l.label};
    for (const PeriodAmounts *a : {&l.dinars, &l.euros})
        for (const qint64 v : {a->opening, a->in, a->out, a->closing, a->counted, a->deposited})
            row << formatHundredths(v);
    return row;
}

} // namespace

Document monthReportDocument(const PeriodFigures &f, const QDateTime &printTime)
{
    Report r(PageSetup{});
    r.setBand(pageHeaderBand());
    r.setBand(titleBand());
    r.setBand(detailBand());
    r.setBand(chartBand(f));
    r.setBand(pageFooterBand());
    r.setText(MonthReportTitle, f.title);
    r.setText(MonthReportPeriod, f.period);

    auto data = std::make_shared<MemoryDataSource>(fieldNames());
    data->reserve(int(f.lines.size()) + 1);
    for (const PeriodLine &l : f.lines)
        data->append(rowOf(l));
    data->append(rowOf(f.total));
    Document document(r, data);
    document.setPrintTime(printTime);
    return document;
}

} // namespace report
