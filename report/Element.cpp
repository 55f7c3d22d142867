// Element constructors and the chainable adjustments used by report definitions.
#include "Element.h"

namespace report {

namespace {
Element make(Element::Kind kind, double x, double top)
{
    Element e;
    e.kind = kind;
    e.x = x;
    e.top = top;
    return e;
}
} // namespace

Element Element::label(const QString &text, double x, double top)
{
    Element e = make(Kind::Label, x, top);
    e.text = text;
    return e;
}

Element Element::dataField(const QString &field, double x, double top)
{
    Element e = make(Kind::Field, x, top);
    e.field = field;
    return e;
}

Element Element::sum(const QString &field, double x, double top)
{
    Element e = make(Kind::Sum, x, top);
    e.field = field;
    return e;
}

Element Element::sumDifference(const QString &field, const QString &subtracted, double x,
                               double top)
{
    Element e = make(Kind::SumDifference, x, top);
    e.field = field;
    e.otherField = subtracted;
    return e;
}

Element Element::detailNumber(double x, double top)
{
    return make(Kind::DetailNumber, x, top);
}

Element Element::dateTime(double x, double top)
{
    return make(Kind::DateTime, x, top);
}

Element Element::pageNumber(double x, double top)
{
    return make(Kind::PageNumber, x, top);
}

Element Element::chartIn(std::shared_ptr<const Chart> figures, double x, double top,
                         double width, double height)
{
    Element e = make(Kind::Chart, x, top);
    e.chart = std::move(figures);
    e.boxWidth = width;
    e.boxHeight = height;
    return e;
}

Element &Element::named(const QString &elementName)
{
    name = elementName;
    return *this;
}

Element &Element::withFont(double pointSize, int fontWeight)
{
    font.pointSize = pointSize;
    font.weight = fontWeight;
    return *this;
}

Element &Element::withFontFamily(const QString &family)
{
    font.family = family;
    return *this;
}

Element &Element::alignedRight()
{
    alignment = Alignment::Right;
    return *this;
}

Element &Element::centred()
{
    alignment = Alignment::Center;
    return *this;
}

Element &Element::withMask(const QString &numberMask)
{
    mask = numberMask;
    return *this;
}

Element &Element::inBox(double width, double height)
{
    boxWidth = width;
    boxHeight = height;
    return *this;
}

Element &Element::growing()
{
    grows = true;
    return *this;
}

Element &Element::fittingIn(double width)
{
    fitWidth = width;
    return *this;
}

} // namespace report
