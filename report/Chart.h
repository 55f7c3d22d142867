#pragma once

// Charts drawn by the report engine itself, so that they preview, print and go to PDF like
// every other page: a chart is an element with a box (Element::chartIn); laying out its band
// turns it into lines, filled boxes and texts inside that box.
//
// The box holds the title at its top left and the legend beside it, the value axis's title
// under them, the plot with a labelled grid line per step of the value axis, the categories'
// labels and the category axis's title under the plot. Bars of each category stand side by
// side from the zero line; the line series joins the categories' centres; a limit is a
// dashed line across the plot.

#include "PageItem.h"

#include <QColor>
#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>

namespace report {

class FontBook;

struct Chart
{
    struct Series
    {
        QString name;         // in the legend
        QList<qint64> values; // hundredths, one per category
        QColor color;
    };

    QString title;          // "DINARI"
    QString categoryTitle;  // under the category labels, "Dan"
    QString valueTitle;     // over the value axis, "Iznos (DIN)"
    QStringList categories; // "1", "2", ...
    QList<Series> bars;
    Series line;      // no values: no line
    qint64 limit = 0; // hundredths; 0: no limit
    QString limitName;
};

// The value axis's steps for values from `low` to `high` (hundredths): about five round steps
// (1, 2 or 5 times a power of ten) whose first is at or below `low` and last at or above
// `high`, zero among them.
QList<qint64> chartSteps(qint64 low, qint64 high);

// The items of `chart` laid out in `box` (millimetres from the paper's corner), each text
// named `name`.
QList<PageItem> chartItems(const Chart &chart, const QRectF &box, const QString &name,
                           FontBook &fonts);

} // namespace report
