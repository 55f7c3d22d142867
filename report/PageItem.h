#pragma once

// One positioned piece of a laid-out page.

#include "Element.h"

#include <QColor>
#include <QRectF>
#include <QString>

namespace report {

// One positioned piece of a laid-out page, in millimetres from the paper's top left corner.
struct PageItem
{
    enum class Kind
    {
        Text, // one line of text
        Rule, // a horizontal line from (x, y) to (x2, y)
        Line, // a line from (x, y) to (x2, y2) in `color`, dashed or not
        Box,  // a rectangle from (x, y) to (x2, y2) filled with `color`
    };

    Kind kind = Kind::Text;
    QString elementName; // the element the item was made from; empty for rules
    QString text;
    double x = 0.0; // for text, the edge or centre named by `alignment`
    double y = 0.0; // for text, the top of the line
    Alignment alignment = Alignment::Left;
    FontStyle font;
    QRectF clip;        // nothing is drawn outside it; null when the item is not clipped
    double x2 = 0.0;    // rules: the right end
    double width = 0.0; // rules: the line width
    double y2 = 0.0;    // lines and boxes: the other end
    QColor color = Qt::black;
    bool dashed = false;
};

} // namespace report
