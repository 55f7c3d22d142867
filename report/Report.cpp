// The report definition: the page, the bands by kind, labels addressed by name.
#include "Report.h"

namespace report {

Report::Report(const PageSetup &page) : m_page(page) {}

void Report::setPage(const PageSetup &page)
{
    m_page = page;
}

void Report::setBand(const Band &band)
{
    m_bands[size_t(band.kind)] = band;
}

const Band *Report::band(BandKind kind) const
{
    const auto &slot = m_bands[size_t(kind)];
    return slot ? &*slot : nullptr;
}

double Report::bandHeight(BandKind kind) const
{
    const Band *b = band(kind);
    return b ? b->height : 0.0;
}

const Element *Report::element(const QString &name) const
{
    for (const auto &slot : m_bands) {
        if (!slot)
            continue;
        for (const Element &e : slot->elements) {
            if (e.name == name)
                return &e;
        }
    }
    return nullptr;
}

bool Report::setText(const QString &name, const QString &text)
{
    for (auto &slot : m_bands) {
        if (!slot)
            continue;
        for (Element &e : slot->elements) {
            if (e.name == name && e.kind == Element::Kind::Label) {
                e.text = text;
                return true;
            }
        }
    }
    return false;
}

} // namespace report
