#pragma once

// A laid-out page of a report.

#include "PageItem.h"

#include <QList>
#include <QStringList>

namespace report {

// A laid-out page: everything it prints, already positioned, so it can be inspected
// without pixels and painted on any device.
struct Page
{
    int number = 0; // from 1
    QList<PageItem> items;

    // The texts of the page in the order they were laid out.
    QStringList texts() const;
    // The text items made from element `name`, in layout order.
    QList<PageItem> itemsOf(const QString &name) const;
    QList<PageItem> rules() const;
};

} // namespace report
