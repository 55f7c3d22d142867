// Painting of laid-out pages. Text is drawn from its baseline at the item's anchor (left
// edge, right edge or centre); clipped items never draw outside their box.
#include "PagePainter.h"

#include "FontBook.h"

#include <QPaintDevice>
#include <QPainter>

namespace report {

namespace {
constexpr double MmPerInch = 25.4;
}

PagePainter::PagePainter(QPainter &painter) : m_painter(painter)
{
    if (const QPaintDevice *device = painter.device()) {
        m_unitsPerMmX = device->logicalDpiX() / MmPerInch;
        m_unitsPerMmY = device->logicalDpiY() / MmPerInch;
    }
}

const PagePainter::FontEntry &PagePainter::fontFor(const FontStyle &spec)
{
    for (const FontEntry &entry : m_fonts) {
        if (entry.spec == spec)
            return entry;
    }
    FontEntry entry;
    entry.spec = spec;
    entry.font = FontBook::font(spec);
    entry.metrics = std::make_unique<QFontMetricsF>(entry.font, m_painter.device());
    m_fonts.push_back(std::move(entry));
    return m_fonts.back();
}

void PagePainter::paint(const Page &page)
{
    m_painter.save();
    m_painter.setPen(Qt::black);
    for (const PageItem &item : page.items) {
        if (item.kind == PageItem::Kind::Rule)
            paintRule(item);
        else if (item.kind == PageItem::Kind::Line)
            paintLine(item);
        else if (item.kind == PageItem::Kind::Box)
            m_painter.fillRect(QRectF(QPointF(item.x * m_unitsPerMmX, item.y * m_unitsPerMmY),
                                      QPointF(item.x2 * m_unitsPerMmX, item.y2 * m_unitsPerMmY)),
                               item.color);
        else if (!item.text.isEmpty())
            paintText(item);
    }
    m_painter.restore();
}

void PagePainter::paintText(const PageItem &item)
{
    const FontEntry &entry = fontFor(item.font);
    if (m_painter.font() != entry.font)
        m_painter.setFont(entry.font);
    double x = item.x * m_unitsPerMmX;
    if (item.alignment != Alignment::Left) {
        const double width = entry.metrics->horizontalAdvance(item.text);
        x -= item.alignment == Alignment::Right ? width : width / 2.0;
    }
    const double top = item.y * m_unitsPerMmY;
    const double baseline = top + entry.metrics->ascent();
    if (!item.clip.isNull()) {
        const QRectF clip(item.clip.x() * m_unitsPerMmX, item.clip.y() * m_unitsPerMmY,
                          item.clip.width() * m_unitsPerMmX, item.clip.height() * m_unitsPerMmY);
        // Clipping is costly on PDF and printers; a line already inside its box needs none.
        const double width = entry.metrics->horizontalAdvance(item.text);
        const QRectF line(x, top, width, entry.metrics->ascent() + entry.metrics->descent());
        if (!clip.contains(line)) {
            m_painter.save();
            m_painter.setClipRect(clip);
            m_painter.drawText(QPointF(x, baseline), item.text);
            m_painter.restore();
            return;
        }
    }
    m_painter.drawText(QPointF(x, baseline), item.text);
}

void PagePainter::paintLine(const PageItem &item)
{
    QPen pen(item.color);
    pen.setWidthF(item.width * m_unitsPerMmY);
    pen.setCapStyle(Qt::FlatCap);
    if (item.dashed)
        pen.setStyle(Qt::DashLine);
    m_painter.setPen(pen);
    m_painter.drawLine(QPointF(item.x * m_unitsPerMmX, item.y * m_unitsPerMmY),
                       QPointF(item.x2 * m_unitsPerMmX, item.y2 * m_unitsPerMmY));
    m_painter.setPen(Qt::black);
}

void PagePainter::paintRule(const PageItem &item)
{
    QPen pen(Qt::black);
    pen.setWidthF(item.width * m_unitsPerMmY);
    pen.setCapStyle(Qt::FlatCap);
    m_painter.setPen(pen);
    const double y = item.y * m_unitsPerMmY;
    m_painter.drawLine(QPointF(item.x * m_unitsPerMmX, y), QPointF(item.x2 * m_unitsPerMmX, y));
    m_painter.setPen(Qt::black);
}

} // namespace report
