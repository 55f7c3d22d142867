// TForm1's master data pages: the users (page 1), frequent activities (page 2) and groups
// (page 8) edited in grids with navigator bars, and the journal (page 6) shown read-only.
//
// Each page's table is opened only by its "OTVORI TABELU" and stays open until its
// "ZATVORI TABELU" or anything else that closes the engine session; the grid and navigator
// follow the table through its data link, so a table closed elsewhere leaves an empty grid
// and a disabled navigator. A record being edited when its table closes is discarded, as
// there is no open table left to store it in; leaving the page stores it (see DBGrid).
#include "Unit1.h"

#include "DBGrid.h"
#include "desk/DeskTables.h"
#include "DBNavigator.h"
#include "TableModel.h"
#include "UiHelpers.h"

#include "desk/CashBook.h"
#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "engine/TextForms.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/SystemSettings.h"

#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QStackedWidget>

#include <algorithm>
#include <limits>

namespace {

const QString AdminName = QStringLiteral("Admin");

// The users' rule: the login finds a user by his code alone and opens the administrator menu
// to the name "Admin", so every code is set and belongs to one user, and there is exactly one
// "Admin". The answer names what a change would break; empty when it breaks nothing. Only
// what the change makes is refused: a code or an "Admin" that the record held already (a
// data directory with duplicates from before) may stay, and the login keeps its rule for it.
QString usersRule(engine::Table &users, bool deleting)
{
    const int codeField = users.fieldIndex(QStringLiteral("SIFRA"));
    const int nameField = users.fieldIndex(QStringLiteral("IMEIPREZIME"));
    if (codeField < 0 || nameField < 0)
        return {};
    const bool inserting = users.state() == engine::Table::State::Insert;
    // The record changed or deleted: the one the table stands on, unless a new one is made.
    const qint64 own = inserting ? -1 : users.recordId();
    struct Stored
    {
        QString code, name;
    };
    Stored before;
    QList<Stored> others;
    users.scanAfter(std::numeric_limits<qint64>::min(),
                    [&](qint64 id, const engine::RecordView &r) {
                        const auto text = [&r](int i) {
                            return r.isNull(i) ? QString() : QString::fromUtf8(r.utf8(i));
                        };
                        const Stored s{text(codeField), text(nameField)};
                        (id == own ? before : others.emplaceBack()) = s;
                    });
    const auto isAdmin = [](const Stored &s) { return s.name == AdminName; };
    const bool anotherAdmin = std::any_of(others.cbegin(), others.cend(), isAdmin);
    if (deleting) {
        if (isAdmin(before) && !anotherAdmin)
            return QStringLiteral("Korisnik Admin se ne moze obrisati: on je jedini koji ulazi "
                                  "u meni administratora.");
        return {};
    }

    const QString code = users.fieldText(codeField);
    const QString name = users.fieldText(nameField);
    if (code.trimmed().isEmpty())
        return QStringLiteral("Korisnik nije sacuvan: sifra je prazna, a sa praznom sifrom bi "
                              "se svako prijavio.");
    if (inserting || code != before.code) {
        for (const Stored &other : others) {
            if (other.code == code)
                return QStringLiteral("Korisnik nije sacuvan: sifru %1 vec ima korisnik %2.")
                    .arg(code, other.name);
        }
    }
    if (name == AdminName && (inserting || !isAdmin(before)) && anotherAdmin)
        return QStringLiteral("Korisnik nije sacuvan: korisnik Admin vec postoji, a meni "
                              "administratora ima samo jedan.");
    if (!inserting && isAdmin(before) && name != AdminName && !anotherAdmin)
        return QStringLiteral("Korisnik nije sacuvan: Admin se ne moze preimenovati, on je "
                              "jedini koji ulazi u meni administratora.");
    return {};
}

} // namespace

void TForm1::buildMasterDataPages()
{
    struct MasterPage
    {
        int index;
        const char *heading;
        const char *menuButton;
        engine::Table *table;
        TableModel **source;
        DBGrid **grid;
        const char *gridName;
        DBNavigator **navigator;
        const char *navigatorName;
        QPushButton **openButton;
        const char *openName;
        void (TForm1::*openHandler)();
        QPushButton **closeButton;
        const char *closeName;
        void (TForm1::*closeHandler)();
        bool readOnly;
    };
    const MasterPage pages[] = {
        {PageUsers, "PODESAVANJE KORISNIKA", "BitBtn10", Table1, &DataSource1, &DBGrid1,
         "DBGrid1", &DBNavigator1, "DBNavigator1", &BitBtn2, "BitBtn2", &TForm1::BitBtn2Click,
         &BitBtn1, "BitBtn1", &TForm1::BitBtn1Click, false},
        {PageActivities, "PODESAVANJE AKTIVNOSTI", "BitBtn11", Table2, &DataSource2, &DBGrid2,
         "DBGrid2", &DBNavigator2, "DBNavigator2", &BitBtn6, "BitBtn6", &TForm1::BitBtn6Click,
         &BitBtn7, "BitBtn7", &TForm1::BitBtn7Click, false},
        {PageGroups, "PODESAVANJE GRUPE PROMETA", "BitBtn27", Table4, &DataSource5, &DBGrid5,
         "DBGrid5", &DBNavigator4, "DBNavigator4", &BitBtn25, "BitBtn25",
         &TForm1::BitBtn25Click, &BitBtn26, "BitBtn26", &TForm1::BitBtn26Click, false},
        {PageJournal, "IZVESTAJI", "BitBtn16", Table3, &DataSource3, &DBGrid4, "DBGrid4",
         &DBNavigator3, "DBNavigator3", &BitBtn14, "BitBtn14", &TForm1::BitBtn14Click,
         &BitBtn15, "BitBtn15", &TForm1::BitBtn15Click, true},
    };

    for (const MasterPage &p : pages) {
        QWidget *page = buildPageShell(p.index, QString::fromLatin1(p.heading),
                                       QString::fromLatin1(p.menuButton));
        // Heading at the top left, "MENI ADMINISTRATORA" at the top right, the table's two
        // buttons side by side below it, the navigator at the left of their row, the grid
        // beneath filling the rest.
        if (auto *heading = page->findChild<QLabel *>(QStringLiteral("Heading%1").arg(p.index)))
            heading->setGeometry(16, 8, 436, 32);
        if (auto *menu = page->findChild<QPushButton *>(QString::fromLatin1(p.menuButton)))
            menu->setGeometry(456, 8, 240, 36);

        auto *openButton = named(new QPushButton(QStringLiteral("OTVORI TABELU"), page), p.openName);
        openButton->setFont(uiFont(9, true));
        openButton->setGeometry(456, 50, 118, 36);
        connect(openButton, &QPushButton::clicked, this, p.openHandler);
        *p.openButton = openButton;

        auto *closeButton =
            named(new QPushButton(QStringLiteral("ZATVORI TABELU"), page), p.closeName);
        closeButton->setFont(uiFont(9, true));
        closeButton->setGeometry(578, 50, 118, 36);
        connect(closeButton, &QPushButton::clicked, this, p.closeHandler);
        *p.closeButton = closeButton;

        // The data link lives exactly as long as its table.
        auto *source = new TableModel(*p.table, p.table);
        source->setReadOnly(p.readOnly);
        connect(source, &TableModel::errorOccurred, this,
                [this](const QString &text) { dialogs.message(text); });
        *p.source = source;

        auto *navigator = named(new DBNavigator(dialogs, page), p.navigatorName);
        navigator->setGeometry(16, 52, 300, 32);
        navigator->setDataSource(source);
        navigator->setVisible(!p.readOnly);
        *p.navigator = navigator;

        if (p.index == PageJournal) {
            BitBtnStorno = named(new QPushButton(QStringLiteral("STORNIRAJ"), page), "BitBtnStorno");
            BitBtnStorno->setFont(uiFont(9, true));
            BitBtnStorno->setGeometry(16, 50, 140, 36);
            connect(BitBtnStorno, &QPushButton::clicked, this, &TForm1::BitBtnStornoClick);
            BitBtnVoucher =
                named(new QPushButton(QStringLiteral("STAMPAJ NALOG"), page), "BitBtnVoucher");
            BitBtnVoucher->setFont(uiFont(9, true));
            BitBtnVoucher->setGeometry(164, 50, 140, 36);
            connect(BitBtnVoucher, &QPushButton::clicked, this, &TForm1::BitBtnVoucherClick);
        }

        auto *grid = named(new DBGrid(page), p.gridName);
        grid->setGeometry(16, 96, 680, 388);
        grid->setReadOnly(p.readOnly);
        grid->setDataSource(source);
        *p.grid = grid;
        if (p.index == PageUsers)
            grid->setMaskedField(QStringLiteral("SIFRA")); // login codes, as the login box shows them
        if (p.index == PageJournal) {
            // The document column wide enough for a reversed number with its mark (the grid's
            // columns are laid out anew whenever the table opens).
            connect(source, &QAbstractItemModel::modelReset, grid, [grid] {
                grid->setColumnWidth(
                    0, grid->fontMetrics().horizontalAdvance(QStringLiteral("U-2026-000000 (storniran)"))
                           + 16);
            });
        }
    }
    // The journal's grid reads the journal only while its page is shown: the postings and
    // reports open and close the journal many times, and a grid out of sight that followed
    // would count a long journal at every opening.
    // The document numbers beside the journal's own fields.
    DataSource3->setLeadColumn(QStringLiteral("DOKUMENT"), documentNumbers(*Table3));
    DataSource3->setFollowing(Notebook1->currentIndex() == PageJournal);
    DataSource1->setRecordRule(usersRule);
    connect(Notebook1, &QStackedWidget::currentChanged, this, [this](int index) {
        DataSource3->setFollowing(index == PageJournal);
        // A user the rule refused when the page was left (the grid said why) is dropped: the
        // table must not store it later, when some other handler moves it.
        if (index != PageUsers && DataSource1->isEditing())
            DataSource1->cancel();
    });
    connect(Table1, &engine::Table::changed, this, [this] {
        QStringList names;
        try {
            const int index = Table1->fieldIndex(QStringLiteral("IMEIPREZIME"));
            const int at = Table1->recNo();
            for (int i = 0; i < Table1->recordCount(); ++i)
                names << Table1->textAt(i, index);
            Table1->moveTo(at);
        } catch (const engine::EngineError &) {
        }
        logAct(QStringLiteral("KORISNICI"), QStringLiteral("Promenjen spisak korisnika: ") +
                                                names.join(QStringLiteral(", ")));
    });
}

void TForm1::openMasterTable(engine::Table *table)
{
    try {
        session.setPassword(desk::tablePassword());
        table->open(); // an open table stays as it is, on its current record
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
    }
}

void TForm1::closeMasterTable(engine::Table *table)
{
    // Closing drops a record that was being edited and not posted; then the session closes
    // every other open table and query of the program.
    table->close();
    closeSession();
}

void TForm1::BitBtn2Click()
{
    openMasterTable(Table1);
}

void TForm1::BitBtn1Click()
{
    closeMasterTable(Table1);
}

void TForm1::BitBtn6Click()
{
    openMasterTable(Table2);
}

void TForm1::BitBtn7Click()
{
    closeMasterTable(Table2);
}

void TForm1::BitBtn25Click()
{
    openMasterTable(Table4);
}

void TForm1::BitBtn26Click()
{
    closeMasterTable(Table4);
}

std::optional<QString> TForm1::chosenDocument()
{
    QString number;
    try {
        if (Table3->isOpen() && Table3->recordId() >= 0)
            number = desk::cashbook::numberOf(*Table3, Table3->recordId());
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
        return std::nullopt;
    }
    if (number.isEmpty()) {
        dialogs.message(QStringLiteral("Prvo otvorite tabelu i izaberite dokument"));
        return std::nullopt;
    }
    return number;
}

void TForm1::BitBtnStornoClick()
{
    if (const std::optional<QString> number = chosenDocument())
        reverseDocument(*number);
}

void TForm1::BitBtnVoucherClick()
{
    if (const std::optional<QString> number = chosenDocument())
        printVoucher(*number);
}

QString TForm1::reversalRefusal(const QString &number, QString &question)
{
    // The cash book's own rules (desk::cashbook::reversalRefusal), asked before the question;
    // the reversal asks them again inside its transaction.
    if (const QString refusal = desk::cashbook::reversalRefusal(*Table3, number, clock.today());
        !refusal.isEmpty())
        return refusal;
    const std::optional<desk::BookEntry> original = desk::cashbook::entry(*Table3, number);
    const desk::BookEntry &e = *original;
    const bool euros = e.eurosIn != engine::Money() || e.eurosOut != engine::Money();
    const engine::Money amount = euros ? (e.eurosIn != engine::Money() ? e.eurosIn : e.eurosOut)
                                       : (e.dinarsIn != engine::Money() ? e.dinarsIn : e.dinarsOut);
    question = QStringLiteral("Da li ste sigurni?\nStorno dokumenta %1 od %2: %3 %4 %5, %6")
                   .arg(number, platform::formatShortDate(settings, e.date),
                        desk::kindOf(e) == desk::DocumentKind::Receipt ? QStringLiteral("ULAZ")
                                                                       : QStringLiteral("IZLAZ"),
                        amount.toText(), euros ? QStringLiteral("EUR") : QStringLiteral("DIN"),
                        e.description);
    return {};
}

bool TForm1::reverseDocument(const QString &number)
{
    // The journal view keeps its table open; the export closes the session, so the view
    // opens it again after it, on the record it stood on.
    const bool viewOpen = Table3->isOpen();
    const qint64 viewRecord = viewOpen ? Table3->recordId() : -1;
    // What cannot be reversed is said before the question, which names the document.
    QString question;
    QString refusal;
    try {
        if (!viewOpen) {
            session.setPassword(desk::tablePassword());
            Table3->open();
        }
        refusal = reversalRefusal(number, question);
    } catch (const engine::EngineError &e) {
        refusal = e.message();
    }
    if (!refusal.isEmpty() || !dialogs.confirm(question)) {
        if (!refusal.isEmpty())
            dialogs.message(refusal);
        if (!viewOpen)
            closeSession(); // after the dialog: the review window's list stays while it shows
        return false;
    }
    try {
        if (!viewOpen) {
            session.setPassword(desk::tablePassword());
            Table3->open();
        }
        const desk::BookEntry reversal = desk::cashbook::reverse(
            *Table3, number, currentUser, clock.today(), engine::timeText(clock.now()),
            session.dateFormat());
        dialogs.message(QStringLiteral("Dokument %1 je storniran dokumentom %2")
                            .arg(number, reversal.number));
    } catch (const engine::EngineError &e) {
        if (!viewOpen)
            closeSession();
        dialogs.message(e.message());
        return false;
    }
    // A reversal is a posting: the balances, the export and its upload follow it alike.
    try {
        refreshBalances();
    } catch (const engine::EngineError &e) {
        showNoBalances();
        dialogs.message(QStringLiteral("Storno je proknjizen, ali stanje kase nije izracunato: ") +
                        e.message());
    }
    if (exportJournal(QStringLiteral("Storno je proknjizen, ali izvoz nije zapisan: ")))
        uploadDecision();
    if (viewOpen) {
        openMasterTable(Table3);
        if (Table3->isOpen())
            Table3->moveToId(viewRecord);
    }
    return true;
}

void TForm1::BitBtn14Click()
{
    openMasterTable(Table3);
}

void TForm1::BitBtn15Click()
{
    closeMasterTable(Table3);
}
