// Inspection helpers of a laid-out page.
#include "Page.h"

namespace report {

QStringList Page::texts() const
{
    QStringList result;
    for (const PageItem &item : items) {
        if (item.kind == PageItem::Kind::Text)
            result.append(item.text);
    }
    return result;
}

QList<PageItem> Page::itemsOf(const QString &name) const
{
    QList<PageItem> result;
    for (const PageItem &item : items) {
        if (item.kind == PageItem::Kind::Text && item.elementName == name)
            result.append(item);
    }
    return result;
}

QList<PageItem> Page::rules() const
{
    QList<PageItem> result;
    for (const PageItem &item : items) {
        if (item.kind == PageItem::Kind::Rule)
            result.append(item);
    }
    return result;
}

} // namespace report
