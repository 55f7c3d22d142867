// Draws Dorvanta's icon: a cash drawer with two gold coins on the login page's deep blue,
// on a 256 by 256 grid. One list of shapes is written out twice, as SVG text and painted
// with QPainter into PNG files, so the scalable icon and the pixel sizes always agree.
// Usage: app-icon OUTDIR SIZE...   writes OUTDIR/dorvanta.svg and OUTDIR/SIZExSIZE/dorvanta.png
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <cstdio>
#include <vector>

namespace {

constexpr double Grid = 256;

struct Shape
{
    enum Kind { Rect, Circle } kind;
    double x, y, w, h; // a circle: centre x, y and radius w
    double radius;     // corner radius of a rectangle
    QColor top, bottom; // fill, a vertical gradient when they differ
    QColor stroke = Qt::transparent;
    double strokeWidth = 0;
};

std::vector<Shape> drawing()
{
    const QColor gold(0xf2, 0xb6, 0x32), goldEdge(0xb9, 0x7d, 0x0c);
    return {
        // The tile, the login picture's blues.
        {Shape::Rect, 16, 16, 224, 224, 44, QColor(0x2d, 0x63, 0xa8), QColor(0x0e, 0x27, 0x52)},
        // The drawer's case, its slot, the drawer front and its handle.
        {Shape::Rect, 50, 118, 156, 56, 10, QColor(0xf4, 0xf7, 0xfb), QColor(0xd8, 0xe1, 0xee)},
        {Shape::Rect, 92, 132, 72, 8, 4, QColor(0x1b, 0x3c, 0x6e), QColor(0x1b, 0x3c, 0x6e)},
        {Shape::Rect, 38, 166, 180, 50, 10, QColor(0xe2, 0xe9, 0xf3), QColor(0xb9, 0xc7, 0xdb)},
        {Shape::Rect, 104, 184, 48, 12, 6, QColor(0x1b, 0x3c, 0x6e), QColor(0x1b, 0x3c, 0x6e)},
        // Two coins on top.
        {Shape::Circle, 104, 84, 30, 0, 0, gold, gold, goldEdge, 6},
        {Shape::Circle, 160, 70, 30, 0, 0, gold, gold, goldEdge, 6},
        {Shape::Circle, 160, 70, 14, 0, 0, QColor(0xf8, 0xd0, 0x6a), QColor(0xf8, 0xd0, 0x6a)},
    };
}

QString hex(const QColor &c) { return c.name(QColor::HexRgb); }

QByteArray svg(const std::vector<Shape> &shapes)
{
    QString out = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
        "viewBox=\"0 0 256 256\">\n  <defs>\n");
    for (size_t i = 0; i < shapes.size(); ++i) {
        const Shape &s = shapes[i];
        if (s.top != s.bottom)
            out += QStringLiteral("    <linearGradient id=\"g%1\" x1=\"0\" y1=\"0\" x2=\"0\" "
                                  "y2=\"1\"><stop offset=\"0\" stop-color=\"%2\"/><stop "
                                  "offset=\"1\" stop-color=\"%3\"/></linearGradient>\n")
                       .arg(i)
                       .arg(hex(s.top), hex(s.bottom));
    }
    out += QStringLiteral("  </defs>\n");
    for (size_t i = 0; i < shapes.size(); ++i) {
        const Shape &s = shapes[i];
        const QString fill = s.top != s.bottom ? QStringLiteral("url(#g%1)").arg(i) : hex(s.top);
        QString stroke;
        if (s.strokeWidth > 0)
            stroke = QStringLiteral(" stroke=\"%1\" stroke-width=\"%2\"")
                         .arg(hex(s.stroke))
                         .arg(s.strokeWidth);
        if (s.kind == Shape::Rect)
            out += QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" "
                                  "rx=\"%5\" fill=\"%6\"%7/>\n")
                       .arg(s.x).arg(s.y).arg(s.w).arg(s.h).arg(s.radius).arg(fill, stroke);
        else
            out += QStringLiteral("  <circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"%4\"%5/>\n")
                       .arg(s.x).arg(s.y).arg(s.w).arg(fill, stroke);
    }
    out += QStringLiteral("</svg>\n");
    return out.toUtf8();
}

QImage paint(const std::vector<Shape> &shapes, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / Grid, size / Grid);
    for (const Shape &s : shapes) {
        QPainterPath path;
        QRectF box = s.kind == Shape::Rect ? QRectF(s.x, s.y, s.w, s.h)
                                           : QRectF(s.x - s.w, s.y - s.w, 2 * s.w, 2 * s.w);
        if (s.kind == Shape::Rect)
            path.addRoundedRect(box, s.radius, s.radius);
        else
            path.addEllipse(box);
        QLinearGradient gradient(box.topLeft(), box.bottomLeft());
        gradient.setColorAt(0, s.top);
        gradient.setColorAt(1, s.bottom);
        p.setBrush(gradient);
        p.setPen(s.strokeWidth > 0 ? QPen(s.stroke, s.strokeWidth) : QPen(Qt::NoPen));
        p.drawPath(path);
    }
    p.end();
    return image;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: app-icon OUTDIR SIZE...\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const std::vector<Shape> shapes = drawing();
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "app-icon: cannot create %s\n", argv[1]);
        return 1;
    }
    QFile file(out.filePath(QStringLiteral("dorvanta.svg")));
    if (!file.open(QIODevice::WriteOnly) || file.write(svg(shapes)) < 0) {
        std::fprintf(stderr, "app-icon: cannot write %s\n", qPrintable(file.fileName()));
        return 1;
    }
    file.close();
    for (int i = 2; i < argc; ++i) {
        const int size = QString::fromLatin1(argv[i]).toInt();
        const QString dir = out.filePath(QStringLiteral("%1x%1").arg(size));
        if (size < 8 || size > 1024 || !QDir().mkpath(dir) ||
            !paint(shapes, size).save(dir + QStringLiteral("/dorvanta.png"), "PNG")) {
            std::fprintf(stderr, "app-icon: cannot write the %s pixel icon\n", argv[i]);
            return 1;
        }
    }
    return 0;
}
