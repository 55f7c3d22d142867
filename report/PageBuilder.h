#pragma once

// Lays out one page of a report from its plan and its records.

#include "DataSource.h"
#include "FontBook.h"
#include "Page.h"
#include "PagePlan.h"
#include "Report.h"

#include <QHash>

#include <functional>

namespace report {

class Totals;

// Lays out one page: places the bands the plan gives it, top to bottom, and turns their
// elements into positioned texts and rules. Reads only the page's own records, and the
// totals only when the page carries an element that shows a sum.
class PageBuilder
{
public:
    using TotalsProvider = std::function<const Totals &()>;

    PageBuilder(const Report &report, DataSource *data, FontBook &fonts,
                const QString &dateTimeText, TotalsProvider totals);

    Page build(int number, const PagePlan::Content &content) const;
    // The band's height for the data source's current record: its own height, or more when a
    // growing box needs more lines than its own height holds.
    double bandHeight(const Band &band, int record) const;

private:
    void placeBand(Page &page, const Band &band, double top, int record) const;
    void placeText(Page &page, const Element &element, double left, double top,
                   const QString &text) const;
    QString valueOf(const Element &element, int record, int pageNumber) const;
    // The element's font, or the largest smaller size of it at which `text` is no wider
    // than `width` millimetres.
    FontStyle fittingFont(const FontStyle &font, const QString &text, double width) const;
    QStringList wrap(const QString &text, const FontStyle &font, double width, int maxLines) const;
    // How many lines the box's text takes wrapped (whole, for a growing box).
    int lineCount(const Element &element, const QString &text) const;
    // Whether the text fits on one line of the box by the sum of its characters' advances,
    // without shaping it.
    bool surelyOneLine(const Element &element, const QString &text) const;

    const Report &m_report;
    DataSource *m_data;
    FontBook &m_fonts;
    QString m_dateTimeText;
    TotalsProvider m_totals;
    // Line counts of growing boxes by their text: a journal repeats its descriptions.
    mutable QHash<QString, int> m_lineCounts;
    mutable QHash<QChar, double> m_advances; // of single characters in m_advancesFont
    mutable FontStyle m_advancesFont;
};

} // namespace report
