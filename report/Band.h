#pragma once

// A band of a report: a horizontal strip of the page and the elements on it.

#include "Element.h"

#include <QList>

namespace report {

enum class BandKind
{
    PageHeader, // top of every page
    Title,      // once, at the top of the first page, under the page header
    Detail,     // once per record
    Summary,    // once, after the last record
    PageFooter, // bottom of every page
};

// A horizontal strip of the page, as wide as the space between the margins. Its height is
// fixed; a rule is a thin black line along its top or bottom edge.
struct Band
{
    BandKind kind = BandKind::Detail;
    double height = 0.0; // millimetres
    bool ruleTop = false;
    bool ruleBottom = false;
    QList<Element> elements;
};

} // namespace report
