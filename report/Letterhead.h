#pragma once

// The firm at the head of every page and the paper a printout is laid out for, given to a
// prepared report just before it is shown, printed or written.

#include "Document.h"
#include "PageSetup.h"

#include <QString>

namespace report {

// The firm that keeps the cash desk, as its reports name it.
struct Firm
{
    QString name;
    QString address;
    QString pib; // the tax number
    QString mb;  // the registration number
    bool isEmpty() const
    {
        return name.isEmpty() && address.isEmpty() && pib.isEmpty() && mb.isEmpty();
    }
};

// Names of the letterhead's labels.
inline constexpr char FirmNameLine[] = "FirmName";   // the name, bold
inline constexpr char FirmDetailLine[] = "FirmLine"; // "address   PIB: ...   MB: ..."

// `document` on `page`, its page header carrying `firm` on every page (a report without a page
// header gets one, 10.6 mm high, only when there is a firm to print). The records, the print
// time and the date form stay.
Document withLetterhead(const Document &document, const PageSetup &page, const Firm &firm);

} // namespace report
