#pragma once

// A report definition: its page and its bands.

#include "Band.h"
#include "PageSetup.h"

#include <array>
#include <optional>

namespace report {

// A report definition: the page and at most one band of each kind. It is a plain value;
// labels can be given their text at run time by element name.
class Report
{
public:
    Report() = default;
    explicit Report(const PageSetup &page);

    const PageSetup &page() const { return m_page; }
    void setPage(const PageSetup &page);

    // Sets the band of `band.kind`, replacing one of the same kind.
    void setBand(const Band &band);
    const Band *band(BandKind kind) const;
    double bandHeight(BandKind kind) const; // 0 for a missing band

    // The first element named `name` in any band, or null.
    const Element *element(const QString &name) const;
    // Sets the text of the label `name`. Returns false when there is no such label.
    bool setText(const QString &name, const QString &text);

private:
    PageSetup m_page;
    std::array<std::optional<Band>, 5> m_bands;
};

} // namespace report
