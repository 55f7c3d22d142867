// TForm1: placeholder for the page(s) built here.
#include "Unit1.h"

void TForm1::buildMasterDataPages()
{
    buildPageShell(PageUsers, QStringLiteral("PODESAVANJE KORISNIKA"), QStringLiteral("BitBtn10"));
    buildPageShell(PageActivities, QStringLiteral("PODESAVANJE AKTIVNOSTI"), QStringLiteral("BitBtn11"));
    buildPageShell(PageJournal, QStringLiteral("IZVESTAJI"), QStringLiteral("BitBtn16"));
    buildPageShell(PageGroups, QStringLiteral("PODESAVANJE GRUPE PROMETA"), QStringLiteral("BitBtn27"));
}
