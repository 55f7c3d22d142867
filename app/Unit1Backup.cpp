// TForm1: placeholder for the page(s) built here.
#include "Unit1.h"

void TForm1::buildBackupPage()
{
    buildPageShell(PageBackup, QStringLiteral("BACK UP"), QStringLiteral("BitBtn22"));
}
