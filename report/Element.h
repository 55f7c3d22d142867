#pragma once

// The elements a band holds: labels, fields, sums, lines.

#include <QFont>
#include <QString>

#include <memory>

namespace report {

struct Chart;

// How an element's text stands against its x position.
enum class Alignment
{
    Left,   // x is the text's left edge
    Right,  // x is the text's right edge
    Center, // x is the text's centre
};

struct FontStyle
{
    QString family = QStringLiteral("Arial");
    double pointSize = 10.0;
    int weight = QFont::Normal;

    bool operator==(const FontStyle &) const = default;
};

// One printed element of a band. Positions are in millimetres from the band's left and top
// edges; `top` is the top of the text line.
struct Element
{
    enum class Kind
    {
        Label,         // `text`, which may be replaced at run time
        Field,         // the current record's `field`, through `mask`
        Sum,           // the sum of `field` over all printed records, through `mask`
        SumDifference, // the sum of `field` minus the sum of `otherField`, through `mask`
        DetailNumber,  // 1 for the first record printed, then 2, 3, ...
        DateTime,      // the date and time at printing
        PageNumber,    // the page number, from 1
        Chart,         // `chart` drawn in the element's box (Chart.h)
    };

    Kind kind = Kind::Label;
    QString name;
    double x = 0.0;
    double top = 0.0;
    Alignment alignment = Alignment::Left;
    FontStyle font;
    QString text;
    QString field;
    QString otherField;
    // Fields: a mask ("0.00", the one the engine knows) prints the value as an exact amount
    // with two decimals; no mask prints the field's text. Sums always print as amounts.
    QString mask;
    // A fixed box (both sizes above zero): the text is wrapped at the box's width, lines
    // that do not fit its height are cut, and nothing is drawn outside it. `x` is then the
    // box's left edge and the alignment applies inside the box.
    double boxWidth = 0.0;
    double boxHeight = 0.0;
    // A growing box keeps every line: it grows downwards beyond boxHeight as far as its text
    // needs, and its band grows with it (see PageBuilder::bandHeight).
    bool grows = false;

    // The width of the element's column (above zero: figures). A text wider than that is
    // drawn in the largest smaller font that fits, on the same x (so a right-aligned
    // figure keeps its right edge); a text that fits keeps the element's font.
    double fitWidth = 0.0;

    // Charts: the figures and their words; the box (boxWidth, boxHeight) is the chart's.
    std::shared_ptr<const Chart> chart;

    bool hasBox() const { return boxWidth > 0.0 && boxHeight > 0.0; }

    static Element label(const QString &text, double x, double top);
    static Element dataField(const QString &field, double x, double top);
    static Element sum(const QString &field, double x, double top);
    static Element sumDifference(const QString &field, const QString &subtracted, double x,
                                 double top);
    static Element detailNumber(double x, double top);
    static Element dateTime(double x, double top);
    static Element pageNumber(double x, double top);
    static Element chartIn(std::shared_ptr<const Chart> chart, double x, double top, double width,
                           double height);

    // Chainable adjustments, so a report definition reads as a table.
    Element &named(const QString &elementName);
    Element &withFont(double pointSize, int fontWeight = QFont::Normal);
    Element &withFontFamily(const QString &family);
    Element &alignedRight();
    Element &centred();
    Element &withMask(const QString &numberMask);
    Element &inBox(double width, double height);
    Element &growing();
    Element &fittingIn(double width);
};

} // namespace report
