#pragma once

// Printing, PDF and page images of a prepared report.
//
// The report engine reports failure as Qt does, in one form: a function that can fail
// returns false and, when the caller passes `QString *error`, writes the reason there
// (writePdf, PreviewWindow::savePdf). It throws nothing.

#include "Document.h"

#include <QImage>
#include <QString>

#include <functional>

class QPagedPaintDevice;

namespace report {

// Gives a paged device (printer, PDF writer) the report's paper and orientation with no
// margins, so its painter coordinates start at the paper's corner. A printer must also be
// set to the full page.
void preparePagedDevice(const Document &document, QPagedPaintDevice &device);

// Paints pages `from` to `to` (from 1, both included) on a prepared paged device, one
// device page each. `progress`, when given, is told each page number before it is painted
// and stops the job by returning false. Returns false when painting could not start or was
// stopped, or when records of the report could not be read (Document::readError()).
bool paintPages(const Document &document, QPagedPaintDevice &device, int from, int to,
                const std::function<bool(int)> &progress = {});

// Writes the whole report as a PDF file. The file is written beside the target and renamed
// over it, so `path` never holds half a report. On failure returns false and, when `error`
// is given, the reason.
bool writePdf(const Document &document, const QString &path, QString *error = nullptr,
              const std::function<bool(int)> &progress = {});

// Page `number` as a white image at `dpi` dots per inch (fonts scale with it).
QImage renderPageImage(const Document &document, int number, double dpi);

} // namespace report
