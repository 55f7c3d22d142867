// TForm1: placeholder for the page(s) built here.
#include "Unit1.h"

void TForm1::buildReportPage()
{
    buildPageShell(PageReport, QStringLiteral("IZVESTAJI"), QStringLiteral("BitBtn12"));
}
