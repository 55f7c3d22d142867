// TForm1's side of the report page: making the ReportPage on its page shell, entering the
// page from the menu, and the handlers and seams that keep their names on the window.
#include "Unit1.h"

#include "ReportPage.h"

void TForm1::buildReportPage()
{
    QWidget *page =
        buildPageShell(PageReport, QStringLiteral("IZVESTAJI"), QStringLiteral("BitBtn12"));
    reportPage = std::make_unique<ReportPage>(pageContext(), page);
}

void TForm1::BitBtn5Click()
{
    showPage(PageReport);
    reportPage->enter();
}

TForm1::ReportCriteria TForm1::reportCriteria() const { return reportPage->reportCriteria(); }
QString TForm1::reportStatement() const { return reportPage->reportStatement(); }
void TForm1::BitBtnCsvClick() { reportPage->BitBtnCsvClick(); }
void TForm1::BitBtn17Click() { reportPage->BitBtn17Click(); }
