// Output of whole documents to paged devices: printers and PDF files. Pages are laid out
// and painted one at a time, so memory stays flat whatever the report's length.
#include "Output.h"

#include "PagePainter.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace report {

void preparePagedDevice(const Document &document, QPagedPaintDevice &device)
{
    const PageSetup &setup = document.report().page();
    const QPageSize size(setup.paperSize, QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch);
    device.setPageLayout(
        QPageLayout(size, setup.orientation, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
}

bool paintPages(const Document &document, QPagedPaintDevice &device, int from, int to,
                const std::function<bool(int)> &progress)
{
    from = std::max(1, from);
    to = std::min(document.pageCount(), to);
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    PagePainter pagePainter(painter);
    for (int number = from; number <= to; ++number) {
        if (progress && !progress(number)) {
            painter.end();
            return false;
        }
        if (number > from)
            device.newPage();
        pagePainter.paint(document.page(number));
    }
    // Pages with records that could not be read are not a report.
    return painter.end() && document.readError().isEmpty();
}

bool writePdf(const Document &document, const QString &path, QString *error,
              const std::function<bool(int)> &progress)
{
    auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    bool cancelled = false;
    const auto watch = [&](int page) {
        cancelled = progress && !progress(page);
        return !cancelled;
    };
    {
        QPdfWriter writer(&file);
        writer.setCreator(QStringLiteral("Dorvanta"));
        writer.setResolution(1200);
        preparePagedDevice(document, writer);
        if (!paintPages(document, writer, 1, document.pageCount(), watch)) {
            file.cancelWriting();
            if (const QString unread = document.readError(); !unread.isEmpty())
                return fail(QStringLiteral("Podaci izvestaja nisu procitani: %1").arg(unread));
            return fail(cancelled ? QStringLiteral("Writing the PDF file was cancelled.")
                                  : QStringLiteral("The PDF file could not be painted."));
        }
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

QImage renderPageImage(const Document &document, int number, double dpi)
{
    const QSizeF size = document.report().page().pageSize();
    constexpr double MmPerInch = 25.4;
    QImage image(qMax(1, qRound(size.width() / MmPerInch * dpi)),
                 qMax(1, qRound(size.height() / MmPerInch * dpi)), QImage::Format_RGB32);
    const int dotsPerMeter = qRound(dpi / MmPerInch * 1000.0);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    PagePainter(painter).paint(document.page(number));
    return image;
}

} // namespace report
