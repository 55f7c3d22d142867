#pragma once

// The print preview window of a prepared report.

#include "Document.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPrinter;
class QScrollArea;
class QSpinBox;
class QToolButton;

namespace report {

// The print preview of a prepared report. The user pages through it, prints it through
// the system's print dialog or saves it as a PDF file. Pages are laid out and drawn only
// when shown, so the first page of a long report appears at once. Run it with exec(); the
// caller goes on when the user closes it.
class PreviewWindow : public QDialog
{
    Q_OBJECT

public:
    explicit PreviewWindow(const Document &document, QWidget *parent = nullptr);

    const Document &document() const { return m_document; }
    int pageCount() const { return m_pageCount; }
    int currentPage() const { return m_current; }
    // The image of the shown page, at the shown zoom.
    QImage currentImage() const { return m_image; }

public slots:
    void showPage(int number);
    void showFirstPage();
    void showPreviousPage();
    void showNextPage();
    void showLastPage();
    // Asks for a printer and prints the chosen pages.
    void print();
    // Prints the pages `printer` is set to (all, a range or the shown page) on it, from the
    // paper's corner.
    bool printTo(QPrinter &printer);
    // Asks for a file name and writes the whole report there as PDF.
    void saveAsPdf();
    // Writes the whole report to `path` as PDF, with a progress dialog for long reports.
    bool savePdf(const QString &path, QString *error = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setZoom(int percent);
    void refresh();

    Document m_document;
    int m_pageCount = 1;
    int m_current = 1;
    int m_zoomPercent = 100;
    QImage m_image;

    QToolButton *m_first = nullptr;
    QToolButton *m_previous = nullptr;
    QToolButton *m_next = nullptr;
    QToolButton *m_last = nullptr;
    QSpinBox *m_pageBox = nullptr;
    QLabel *m_pageTotal = nullptr;
    QComboBox *m_zoom = nullptr;
    QScrollArea *m_scroll = nullptr;
    QLabel *m_view = nullptr;
};

} // namespace report
