#pragma once

// The fonts a report is laid out and painted with, and their metrics.

#include "Element.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>

#include <memory>
#include <vector>

namespace report {

// Fonts of a report and their measures in millimetres. Measures are taken at a fixed high
// resolution without hinting, so layout does not depend on the screen and agrees with what
// the printer and the PDF writer draw. Needs a QGuiApplication.
class FontBook
{
public:
    FontBook();

    // The font to paint `spec` with; its point size is resolved by the painting device.
    static QFont font(const FontStyle &spec);

    double width(const FontStyle &spec, const QString &text);
    double lineHeight(const FontStyle &spec); // ascent plus descent

private:
    const QFontMetricsF &metrics(const FontStyle &spec);

    QImage m_device;
    std::vector<std::pair<FontStyle, std::unique_ptr<QFontMetricsF>>> m_metrics;
};

} // namespace report
