// The program's report preview: report::PreviewWindow, modal over the active window.
#include "ReportPreview.h"

#include "report/Document.h"
#include "report/PreviewWindow.h"

#include <QApplication>

void showPreviewWindow(report::Document &document, QWidget *owner)
{
    QWidget *active = QApplication::activeWindow();
    report::PreviewWindow window(document, active ? active : owner);
    window.exec();
}
