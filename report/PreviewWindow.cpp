// The report preview: a modal window showing one page at a time, drawn on demand, with
// page navigation, zoom, printing and saving as PDF.
#include "PreviewWindow.h"

#include "Output.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>

#include "platform/QtDialogs.h"
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace report {

namespace {
// Long jobs show a progress dialog that can stop them.
class JobProgress
{
public:
    JobProgress(QWidget *parent, const QString &text, int pages)
        : m_dialog(text, QObject::tr("Odustani"), 0, pages, parent)
    {
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(500);
    }
    bool operator()(int page)
    {
        m_dialog.setValue(page - 1);
        return !m_dialog.wasCanceled();
    }

private:
    QProgressDialog m_dialog;
};
} // namespace

PreviewWindow::PreviewWindow(const Document &document, QWidget *parent)
    : QDialog(parent), m_document(document), m_pageCount(std::max(1, document.pageCount()))
{
    setWindowTitle(tr("Pregled izvestaja"));
    setObjectName(QStringLiteral("PreviewWindow"));

    auto tool = [this](const char *name, QStyle::StandardPixmap icon, const QString &tip) {
        auto *button = new QToolButton(this);
        button->setObjectName(QString::fromLatin1(name));
        button->setIcon(style()->standardIcon(icon));
        button->setToolTip(tip);
        return button;
    };
    m_first = tool("firstPage", QStyle::SP_MediaSkipBackward, tr("Prva strana (Home)"));
    m_previous = tool("previousPage", QStyle::SP_MediaSeekBackward, tr("Prethodna strana (Page Up)"));
    m_next = tool("nextPage", QStyle::SP_MediaSeekForward, tr("Sledeca strana (Page Down)"));
    m_last = tool("lastPage", QStyle::SP_MediaSkipForward, tr("Poslednja strana (End)"));

    m_pageBox = new QSpinBox(this);
    m_pageBox->setObjectName(QStringLiteral("pageNumber"));
    m_pageBox->setRange(1, m_pageCount);
    m_pageTotal = new QLabel(tr("od %1").arg(m_pageCount), this);
    m_pageTotal->setObjectName(QStringLiteral("pageTotal"));

    m_zoom = new QComboBox(this);
    m_zoom->setObjectName(QStringLiteral("zoom"));
    for (int percent : {50, 75, 100, 125, 150, 200})
        m_zoom->addItem(QStringLiteral("%1%").arg(percent), percent);
    m_zoom->setCurrentIndex(2);

    auto *printButton = new QPushButton(tr("Stampaj..."), this);
    printButton->setObjectName(QStringLiteral("printButton"));
    auto *pdfButton = new QPushButton(tr("Snimi kao PDF..."), this);
    pdfButton->setObjectName(QStringLiteral("savePdfButton"));
    auto *closeButton = new QPushButton(tr("Zatvori"), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));

    auto *bar = new QHBoxLayout;
    bar->addWidget(m_first);
    bar->addWidget(m_previous);
    bar->addWidget(m_pageBox);
    bar->addWidget(m_pageTotal);
    bar->addWidget(m_next);
    bar->addWidget(m_last);
    bar->addSpacing(12);
    bar->addWidget(m_zoom);
    bar->addStretch();
    bar->addWidget(printButton);
    bar->addWidget(pdfButton);
    bar->addWidget(closeButton);

    m_view = new QLabel;
    m_view->setObjectName(QStringLiteral("pageView"));
    m_view->setAlignment(Qt::AlignCenter);
    m_scroll = new QScrollArea(this);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_scroll->setWidget(m_view);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_scroll, 1);

    connect(m_first, &QToolButton::clicked, this, &PreviewWindow::showFirstPage);
    connect(m_previous, &QToolButton::clicked, this, &PreviewWindow::showPreviousPage);
    connect(m_next, &QToolButton::clicked, this, &PreviewWindow::showNextPage);
    connect(m_last, &QToolButton::clicked, this, &PreviewWindow::showLastPage);
    connect(m_pageBox, &QSpinBox::valueChanged, this, &PreviewWindow::showPage);
    connect(m_zoom, &QComboBox::currentIndexChanged, this,
            [this](int index) { setZoom(m_zoom->itemData(index).toInt()); });
    connect(printButton, &QPushButton::clicked, this, &PreviewWindow::print);
    connect(pdfButton, &QPushButton::clicked, this, &PreviewWindow::saveAsPdf);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);

    if (const QScreen *screen = QApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        resize(std::min(available.width() * 9 / 10, 1000), available.height() * 9 / 10);
    }
    // The page has the focus, so Page Up and Page Down turn pages.
    m_scroll->setFocusPolicy(Qt::StrongFocus);
    m_scroll->installEventFilter(this);
    m_scroll->setFocus();
    refresh();
}

bool PreviewWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_scroll && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent *>(event)->key()) {
        case Qt::Key_PageUp:
            showPreviousPage();
            return true;
        case Qt::Key_PageDown:
            showNextPage();
            return true;
        case Qt::Key_Home:
            showFirstPage();
            return true;
        case Qt::Key_End:
            showLastPage();
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void PreviewWindow::showPage(int number)
{
    number = std::clamp(number, 1, m_pageCount);
    if (number == m_current && !m_image.isNull())
        return;
    m_current = number;
    refresh();
}

void PreviewWindow::showFirstPage()
{
    showPage(1);
}

void PreviewWindow::showPreviousPage()
{
    showPage(m_current - 1);
}

void PreviewWindow::showNextPage()
{
    showPage(m_current + 1);
}

void PreviewWindow::showLastPage()
{
    showPage(m_pageCount);
}

void PreviewWindow::setZoom(int percent)
{
    m_zoomPercent = percent > 0 ? percent : 100;
    refresh();
}

void PreviewWindow::refresh()
{
    const double dpi = logicalDpiX() * m_zoomPercent / 100.0;
    m_image = renderPageImage(m_document, m_current, dpi);
    m_view->setPixmap(QPixmap::fromImage(m_image));
    m_view->resize(m_image.size());

    const QSignalBlocker block(m_pageBox);
    m_pageBox->setValue(m_current);
    m_first->setEnabled(m_current > 1);
    m_previous->setEnabled(m_current > 1);
    m_next->setEnabled(m_current < m_pageCount);
    m_last->setEnabled(m_current < m_pageCount);
}

void PreviewWindow::print()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    preparePagedDevice(m_document, printer);
    QPrintDialog dialog(&printer, this);
    dialog.setMinMax(1, m_pageCount);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage);
    if (dialog.exec() == QDialog::Accepted && !printTo(printer) &&
        !m_document.readError().isEmpty())
        QMessageBox::warning(this, tr("Stampanje"),
                             tr("Odstampani izvestaj nije potpun: podaci nisu procitani (%1)")
                                 .arg(m_document.readError()));
}

bool PreviewWindow::printTo(QPrinter &printer)
{
    // The paper is the report's unless the user chose another in the print dialog.
    printer.setFullPage(true);
    int from = 1;
    int to = m_pageCount;
    if (printer.printRange() == QPrinter::PageRange) {
        from = std::max(1, printer.fromPage());
        to = printer.toPage() > 0 ? std::min(m_pageCount, printer.toPage()) : m_pageCount;
    } else if (printer.printRange() == QPrinter::CurrentPage) {
        from = to = m_current;
    }
    JobProgress progress(this, tr("Stampam..."), to - from + 1);
    int done = 0;
    return paintPages(m_document, printer, from, to, [&](int) { return progress(++done); });
}

void PreviewWindow::saveAsPdf()
{
    QFileDialog dialog(this, tr("Snimi kao PDF"), QString(), tr("PDF fajlovi (*.pdf)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    platform::serbianSaveLabels(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    QString path = dialog.selectedFiles().constFirst();
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        path += QLatin1String(".pdf");
    QString error;
    if (!savePdf(path, &error) && !error.isEmpty())
        QMessageBox::warning(this, tr("Snimi kao PDF"), error);
}

bool PreviewWindow::savePdf(const QString &path, QString *error)
{
    JobProgress progress(this, tr("Snimam PDF..."), m_pageCount);
    return writePdf(m_document, path, error, std::ref(progress));
}

} // namespace report
