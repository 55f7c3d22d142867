#pragma once

// Paints laid-out pages on a printer, a PDF or the screen.

#include "Page.h"

#include <QFont>
#include <QFontMetricsF>

#include <memory>
#include <vector>

class QPainter;

namespace report {

// Draws laid-out pages on a painter whose coordinates start at the paper's top left
// corner: a printer or PDF writer set to the full page, or an image of the page. Millimetres
// are turned into device units by the device's resolution, which also resolves the fonts'
// point sizes, so the page looks the same on every device.
class PagePainter
{
public:
    explicit PagePainter(QPainter &painter);

    void paint(const Page &page);

private:
    struct FontEntry
    {
        FontStyle spec;
        QFont font;
        std::unique_ptr<QFontMetricsF> metrics;
    };
    const FontEntry &fontFor(const FontStyle &spec);
    void paintText(const PageItem &item);
    void paintRule(const PageItem &item);
    void paintLine(const PageItem &item);

    QPainter &m_painter;
    double m_unitsPerMmX = 1.0;
    double m_unitsPerMmY = 1.0;
    std::vector<FontEntry> m_fonts;
};

} // namespace report
