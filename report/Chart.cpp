// Chart layout: pure geometry in millimetres; PagePainter draws the items it gives.
#include "Chart.h"

#include "FontBook.h"
#include "MoneyText.h"

#include <algorithm>
#include <cmath>

namespace report {

namespace {

constexpr double ValueLabelRoom = 20.0; // left of the plot
constexpr double TopRoom = 11.0;        // title, legend and the value axis's title
constexpr double BottomRoom = 10.0;     // the category labels and the category axis's title
constexpr double LineWidth = 0.45;
constexpr double GridWidth = 0.1;

FontStyle font(double size, int weight = QFont::Normal)
{
    FontStyle f;
    f.pointSize = size;
    f.weight = weight;
    return f;
}

// A step's label: whole units when the step is whole, money text otherwise.
QString stepText(qint64 value, qint64 step)
{
    return step % 100 == 0 ? QString::number(value / 100) : formatHundredths(value);
}

} // namespace

QList<qint64> chartSteps(qint64 low, qint64 high)
{
    low = std::min<qint64>(low, 0);
    high = std::max<qint64>(high, 0);
    if (high == low)
        high = low + 100;
    const double raw = double(high - low) / 5.0;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    qint64 step = 0;
    for (const double f : {1.0, 2.0, 5.0, 10.0}) {
        step = std::max<qint64>(1, qint64(std::llround(f * magnitude)));
        if (double(step) >= raw)
            break;
    }
    const auto floorTo = [step](qint64 v) {
        return v >= 0 ? v / step * step : -((-v + step - 1) / step) * step;
    };
    QList<qint64> steps;
    for (qint64 v = floorTo(low);; v += step) {
        steps << v;
        if (v >= high)
            break;
    }
    return steps;
}

QList<PageItem> chartItems(const Chart &chart, const QRectF &box, const QString &name,
                           FontBook &fonts)
{
    QList<PageItem> items;
    const auto text = [&](const QString &t, double x, double y, const FontStyle &f,
                          Alignment a = Alignment::Left) {
        PageItem item;
        item.elementName = name;
        item.text = t;
        item.x = x;
        item.y = y;
        item.font = f;
        item.alignment = a;
        items << item;
    };
    const auto line = [&](double x, double y, double x2, double y2, double width, QColor color,
                          bool dashed = false) {
        PageItem item;
        item.kind = PageItem::Kind::Line;
        item.x = x;
        item.y = y;
        item.x2 = x2;
        item.y2 = y2;
        item.width = width;
        item.color = color;
        item.dashed = dashed;
        items << item;
    };
    const auto fill = [&](double x, double y, double x2, double y2, QColor color) {
        PageItem item;
        item.kind = PageItem::Kind::Box;
        item.x = std::min(x, x2);
        item.y = std::min(y, y2);
        item.x2 = std::max(x, x2);
        item.y2 = std::max(y, y2);
        item.color = color;
        items << item;
    };

    // Title and legend.
    const FontStyle titleFont = font(10, QFont::Bold);
    const FontStyle small = font(7);
    const FontStyle tiny = font(6);
    text(chart.title, box.left(), box.top(), titleFont);
    double legend = box.left() + std::max(30.0, fonts.width(titleFont, chart.title) + 6.0);
    const double legendTop = box.top() + 0.8;
    const auto entry = [&](const QString &label, auto swatch) {
        swatch(legend);
        legend += 5.0;
        text(label, legend, legendTop, small);
        legend += fonts.width(small, label) + 4.0;
    };
    for (const Chart::Series &s : chart.bars)
        entry(s.name,
              [&](double x) { fill(x, legendTop + 0.5, x + 3.5, legendTop + 2.5, s.color); });
    if (!chart.line.values.isEmpty())
        entry(chart.line.name, [&](double x) {
            line(x, legendTop + 1.5, x + 3.5, legendTop + 1.5, LineWidth, chart.line.color);
        });
    if (chart.limit != 0)
        entry(chart.limitName, [&](double x) {
            line(x, legendTop + 1.5, x + 3.5, legendTop + 1.5, LineWidth, Qt::red, true);
        });
    text(chart.valueTitle, box.left(), box.top() + 6.0, small);

    // The plot and its value axis.
    const double left = box.left() + ValueLabelRoom;
    const double right = box.right() - 2.0;
    const double top = box.top() + TopRoom;
    const double bottom = box.bottom() - BottomRoom;
    qint64 low = chart.limit, high = chart.limit;
    for (const Chart::Series *s : [&] {
             QList<const Chart::Series *> all{&chart.line};
             for (const Chart::Series &b : chart.bars)
                 all << &b;
             return all;
         }()) {
        for (const qint64 v : s->values) {
            low = std::min(low, v);
            high = std::max(high, v);
        }
    }
    const QList<qint64> steps = chartSteps(low, high);
    const double lowest = double(steps.first());
    const double span = double(steps.last()) - lowest;
    const auto yOf = [&](qint64 v) {
        return bottom - (double(v) - lowest) / span * (bottom - top);
    };
    const qint64 step = steps.size() > 1 ? steps.at(1) - steps.at(0) : 100;
    const double labelHeight = fonts.lineHeight(tiny);
    for (const qint64 v : steps) {
        const double y = yOf(v);
        line(left, y, right, y, GridWidth, QColor(190, 190, 190));
        text(stepText(v, step), left - 1.0, y - labelHeight / 2.0, tiny, Alignment::Right);
    }
    line(left, top, left, bottom, GridWidth * 2, Qt::black);
    line(left, yOf(0), right, yOf(0), GridWidth * 2, Qt::black);

    // Categories: bars side by side, the line through their centres.
    const qsizetype n = std::max<qsizetype>(1, chart.categories.size());
    const double slot = (right - left) / double(n);
    const double barWidth = chart.bars.isEmpty() ? 0.0 : slot * 0.7 / double(chart.bars.size());
    for (qsizetype c = 0; c < chart.categories.size(); ++c) {
        const double start = left + slot * double(c);
        const double centre = start + slot / 2.0;
        text(chart.categories.at(c), centre, bottom + 0.8, tiny, Alignment::Center);
        double x = centre - barWidth * double(chart.bars.size()) / 2.0;
        for (const Chart::Series &s : chart.bars) {
            const qint64 v = s.values.value(c);
            if (v != 0)
                fill(x, yOf(0), x + barWidth, yOf(v), s.color);
            x += barWidth;
        }
    }
    const QList<qint64> &points = chart.line.values;
    for (qsizetype c = 0; c < std::min<qsizetype>(points.size(), chart.categories.size()); ++c) {
        const double x = left + slot * (double(c) + 0.5);
        const double y = yOf(points.at(c));
        fill(x - 0.5, y - 0.5, x + 0.5, y + 0.5, chart.line.color);
    }
    for (qsizetype c = 1; c < std::min<qsizetype>(points.size(), chart.categories.size()); ++c) {
        line(left + slot * (double(c) - 0.5), yOf(points.at(c - 1)),
             left + slot * (double(c) + 0.5), yOf(points.at(c)), LineWidth, chart.line.color);
    }
    if (chart.limit != 0)
        line(left, yOf(chart.limit), right, yOf(chart.limit), LineWidth, Qt::red, true);
    text(chart.categoryTitle, (left + right) / 2.0, bottom + 5.0, small, Alignment::Center);
    return items;
}

} // namespace report
