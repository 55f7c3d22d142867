#pragma once

#include <QMarginsF>
#include <QPageLayout>
#include <QSizeF>

namespace report {

// Paper, orientation and margins, in millimetres. `paperSize` is given upright (width less
// than height); the orientation turns it.
struct PageSetup
{
    QSizeF paperSize{215.9, 279.4}; // Letter
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QMarginsF margins{12.7, 12.7, 12.7, 12.7};

    // The paper as printed, after the orientation.
    QSizeF pageSize() const
    {
        return orientation == QPageLayout::Landscape ? paperSize.transposed() : paperSize;
    }
    double bandWidth() const { return pageSize().width() - margins.left() - margins.right(); }
    double bodyHeight() const { return pageSize().height() - margins.top() - margins.bottom(); }
};

} // namespace report
