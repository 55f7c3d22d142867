#pragma once

// Paper, orientation and margins of a report.

#include <QMarginsF>
#include <QPageLayout>
#include <QSizeF>

namespace report {

// The papers the reports are laid out for.
enum class Paper
{
    Letter, // 215.9 x 279.4 mm
    A4,     // 210 x 297 mm
};

// Paper, orientation and margins, in millimetres. `paperSize` is given upright (width less
// than height); the orientation turns it.
struct PageSetup
{
    QSizeF paperSize{215.9, 279.4}; // Letter
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QMarginsF margins{12.7, 12.7, 12.7, 12.7};

    // The cash desk's reports on `paper`, portrait: every band 190.5 mm wide (Letter with
    // 12.7 mm on every side; A4 with 9.75 mm at the sides and 12.7 mm at top and bottom), so
    // one layout fits both.
    static PageSetup forPaper(Paper paper)
    {
        PageSetup setup;
        if (paper == Paper::A4) {
            setup.paperSize = QSizeF(210.0, 297.0);
            setup.margins = QMarginsF(9.75, 12.7, 9.75, 12.7);
        }
        return setup;
    }

    // The paper as printed, after the orientation.
    QSizeF pageSize() const
    {
        return orientation == QPageLayout::Landscape ? paperSize.transposed() : paperSize;
    }
    double bandWidth() const { return pageSize().width() - margins.left() - margins.right(); }
    double bodyHeight() const { return pageSize().height() - margins.top() - margins.bottom(); }
};

} // namespace report
