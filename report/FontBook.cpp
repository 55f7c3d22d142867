// Fonts for report elements and their measures in millimetres, taken on a 1200 dpi
// reference device.
#include "FontBook.h"

namespace report {

namespace {
constexpr double ReferenceDpi = 1200.0;
constexpr double MmPerInch = 25.4;
} // namespace

FontBook::FontBook() : m_device(1, 1, QImage::Format_RGB32)
{
    const int dotsPerMeter = int(ReferenceDpi / MmPerInch * 1000.0 + 0.5);
    m_device.setDotsPerMeterX(dotsPerMeter);
    m_device.setDotsPerMeterY(dotsPerMeter);
}

QFont FontBook::font(const FontStyle &spec)
{
    QFont f(spec.family);
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(spec.pointSize);
    f.setWeight(QFont::Weight(spec.weight));
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

const QFontMetricsF &FontBook::metrics(const FontStyle &spec)
{
    for (const auto &entry : m_metrics) {
        if (entry.first == spec)
            return *entry.second;
    }
    m_metrics.emplace_back(spec, std::make_unique<QFontMetricsF>(font(spec), &m_device));
    return *m_metrics.back().second;
}

double FontBook::width(const FontStyle &spec, const QString &text)
{
    return metrics(spec).horizontalAdvance(text) * MmPerInch / ReferenceDpi;
}

double FontBook::lineHeight(const FontStyle &spec)
{
    const QFontMetricsF &m = metrics(spec);
    return (m.ascent() + m.descent()) * MmPerInch / ReferenceDpi;
}

} // namespace report
