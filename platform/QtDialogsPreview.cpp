#include "QtDialogs.h"

#include "report/Document.h"
#include "report/PreviewWindow.h"

#include <QApplication>

namespace platform {

void QtDialogs::preview(report::Document &document)
{
    QWidget *owner = QApplication::activeWindow();
    report::PreviewWindow window(document, owner ? owner : parent_);
    window.exec();
}

} // namespace platform
