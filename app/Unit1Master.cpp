// TForm1's side of the master-data pages and the journal view: making the page objects
// (MasterDataPage, JournalViewPage) on their page shells, the context they share, and the
// handlers whose names stay on the window.
#include "Unit1.h"

#include "JournalViewPage.h"
#include "MasterDataPage.h"
#include "PageContext.h"

void TForm1::buildMasterDataPages()
{
    struct Page
    {
        int index;
        const char *heading;
        engine::Table *table;
        MasterDataPage::Names names;
        std::unique_ptr<MasterDataPage> *page;
    };
    const Page pages[] = {
        {PageUsers, "PODESAVANJE KORISNIKA", context.users,
         {PageUsers, "BitBtn10", "DBGrid1", "DBNavigator1", "BitBtn2", "BitBtn1", false},
         &usersPage},
        {PageActivities, "PODESAVANJE AKTIVNOSTI", context.activities,
         {PageActivities, "BitBtn11", "DBGrid2", "DBNavigator2", "BitBtn6", "BitBtn7", false},
         &activitiesPage},
        {PageGroups, "PODESAVANJE GRUPE PROMETA", context.groups,
         {PageGroups, "BitBtn27", "DBGrid5", "DBNavigator4", "BitBtn25", "BitBtn26", false},
         &groupsPage},
    };
    for (const Page &p : pages) {
        QWidget *shell = buildPageShell(p.index, QString::fromLatin1(p.heading),
                                        QString::fromLatin1(p.names.menuButton));
        *p.page = std::make_unique<MasterDataPage>(pageContext(), shell, *p.table, p.names);
    }
    usersPage->guardUsers();
    QWidget *journal =
        buildPageShell(PageJournal, QStringLiteral("IZVESTAJI"), QStringLiteral("BitBtn16"));
    journalPage = std::make_unique<JournalViewPage>(pageContext(), journal);
}

void TForm1::BitBtn2Click() { usersPage->openTable(); }
void TForm1::BitBtn1Click() { usersPage->closeTable(); }
void TForm1::BitBtn6Click() { activitiesPage->openTable(); }
void TForm1::BitBtn7Click() { activitiesPage->closeTable(); }
void TForm1::BitBtn25Click() { groupsPage->openTable(); }
void TForm1::BitBtn26Click() { groupsPage->closeTable(); }
void TForm1::BitBtn14Click() { journalPage->openTable(); }
void TForm1::BitBtn15Click() { journalPage->closeTable(); }
void TForm1::BitBtnStornoClick() { journalPage->BitBtnStornoClick(); }
void TForm1::BitBtnVoucherClick() { journalPage->BitBtnVoucherClick(); }

bool TForm1::reverseDocument(const QString &number)
{
    return journalPage->reverseDocument(number);
}
