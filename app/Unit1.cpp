// TForm1: creation, the date-format check, the login, navigation between pages, the audit
// log, and the forwarders to the pages of their own classes.
#include "Unit1.h"

#include "BackupFiles.h"
#include "BackupPage.h"
#include "CashCountPage.h"
#include "ChainCheck.h"
#include "DayReportPage.h"
#include "FtpOptionBox.h"
#include "OpenTables.h"
#include "UiHelpers.h"
#include "LoginBackground.h"
#include "PasswordPrompt.h"
#include "Unit2.h"

#include "desk/CashBook.h"
#include "desk/DeskTables.h"
#include "desk/JournalChain.h"
#include "desk/JournalColumns.h"
#include "engine/EngineError.h"
#include "engine/Query.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/SystemSettings.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>

namespace {

constexpr int ClientWidth = 712;
constexpr int ClientHeight = 496;

} // namespace

TForm1::TForm1(engine::Session &session, platform::Dialogs &dialogs,
               const platform::Clock &clock, const platform::SystemSettings &settings,
               QWidget *parent)
    : QMainWindow(parent), session(session), dialogs(dialogs), clock(clock),
      settings(settings),
      reportPreview([this](report::Document &document) { showPreviewWindow(document, this); }),
      context{session, dialogs, clock, settings, *this}
{
    Q_INIT_RESOURCE(app);
    desk::placeTablesOnServer();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("DORVANTA - ver 1.5"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    // The data components: Table1 to Table4 and Query1.
    context.users = new engine::Table(session, QStringLiteral("podaci\\korisnici.db"), this);
    context.activities = new engine::Table(session, QStringLiteral("podaci\\aktivnost.db"), this);
    context.journal = new engine::Table(session, QStringLiteral("podaci/promet.db"), this);
    context.groups = new engine::Table(session, QStringLiteral("podaci\\grupe.db"), this);
    context.query = new engine::Query(session, this);
    context.query->sql().append(QStringLiteral(
        "select * from podaci\\promet.db where datum between '01/15/2013' and '02/20/2013'"));
    installPasswordPrompt(session, dialogs);

    buildMenu();
    Notebook1 = new QStackedWidget(this);
    Notebook1->setObjectName(QStringLiteral("Notebook1"));
    Notebook1->setFixedSize(ClientWidth, ClientHeight);
    setCentralWidget(Notebook1);

    const QStringList captions = {
        QStringLiteral("Default"),  QStringLiteral("KORISNICI"),     QStringLiteral("PODACI"),
        QStringLiteral("MENI"),     QStringLiteral("IZVESTAJ"),      QStringLiteral("KASA"),
        QStringLiteral("PROMET TABELA"), QStringLiteral("SNIMANJE"),
        QStringLiteral("GRUPA PROMETA"), QStringLiteral("DNEVNI IZVESTAJ"),
        QStringLiteral("POPIS KASE")};
    for (int i = 0; i < captions.size(); ++i) {
        auto *page = new QWidget;
        page->setObjectName(QStringLiteral("Page%1").arg(i));
        page->setWindowTitle(captions.at(i));
        page->setAutoFillBackground(true);
        Notebook1->addWidget(page);
    }

    buildLoginPage();
    buildAdminMenuPage();
    buildPostingPage();
    buildMasterDataPages();
    buildReportPage();
    backupPage = std::make_unique<BackupPage>(
        context, buildPageShell(PageBackup, QStringLiteral("BACK UP"), QStringLiteral("BitBtn22")));
    dayReportPage = std::make_unique<DayReportPage>(
        context, buildPageShell(PageDayReport, QStringLiteral("DNEVNI IZVESTAJ BLAGAJNE"),
                                QStringLiteral("BitBtnDayMenu")));
    cashCountPage = std::make_unique<CashCountPage>(context, Notebook1->widget(PageCashierCount),
                                                    [this] {
                                                        showPage(PagePosting);
                                                        postingPage->Edit4->setFocus();
                                                    });
    buildUpload();

    // Enter on a focused button presses it, as Space does: the keyboard flows of the pages
    // (code and Enter, amount, reason and Enter) end on a button.
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setAutoDefault(true);

    adjustSize();
    fitToScreen();

    chainCheck = new ChainCheck(this);
    connect(chainCheck, &ChainCheck::done, this, [this](bool ok, const QString &text) {
        if (!ok)
            this->dialogs.message(text);
    });

    FormCreate();
}

TForm1::~TForm1()
{
    session.close();
}

int TForm1::pageIndex() const
{
    return Notebook1->currentIndex();
}

// ---------------------------------------------------------------------------------------
// Creation and first showing

void TForm1::FormCreate()
{
    startDir = QDir::currentPath();
    // Temporary files of whole-file writes cut off by a kill or a power failure.
    platform::removeStaleTemporaryFiles(startDir);
    platform::removeStaleTemporaryFiles(backup_files::dataDirectory(startDir));

    const QString todayDate = todayText();
    dateFormatOk = true;
    const QString form = settings.shortDateFormat();
    if (form != QLatin1String("dd/MM/yyyy")) {
        dialogs.message(QStringLiteral("NEPRAVILNO PODESEN DATUM !!!"));
        dialogs.message(QStringLiteral(
                            "Podesite u Control Panelu datum na format dd/MM/yyyy - kod Vas je "
                            "podesen format ") +
                        form);
        dialogs.message(QStringLiteral("Takodje podesite da se decimalno mesto odvaja tackom!"));
        dateFormatOk = false;
        return;
    }
    if (todayDate.size() == 10 && todayDate.at(5) != u'/') {
        dialogs.message(QStringLiteral("NEPRAVILNO PODESEN DATUM"));
        dialogs.message(QStringLiteral("Podesite u Control Panelu datum na format DD/MM/YYYY"));
        dialogs.message(QStringLiteral("Takodje podesite da se decimalno mesto odvaja tackom!"));
        dateFormatOk = false;
        return;
    }
    showPage(PageLogin);
    Image1->setGeometry(0, 0, ClientWidth, ClientHeight);
    Edit1->setFocus();
}

void TForm1::setVisible(bool visible)
{
    if (visible && !firstShowDone) {
        firstShowDone = true;
        FormShow();
        if (!dateFormatOk)
            return; // the window is never shown, so no page flashes before the end
    }
    QMainWindow::setVisible(visible);
}

void TForm1::FormShow()
{
    if (dateFormatOk)
        return;
    // The program ends: once the event loop runs, since nothing is left to close.
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------------------
// Login and navigation

void TForm1::Edit1KeyPress(QChar &key)
{
    if (key == u'\r') {
        key = QChar();
        BitBtn9->click();
    }
}

void TForm1::BitBtn9Click()
{
    const QString code = Edit1->text();
    bool found = false;
    try {
        // On the server the server checks the code: a desk reads no login code.
        OpenTables tables(session);
        if (const std::optional<QString> name = desk::loginName(session, code)) {
            currentUser = *name;
            found = true;
        }
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
        return;
    }

    if (!found) {
        dialogs.message(QStringLiteral("NE POSTOJI KORISNIK SA OVOM SIFROM"));
        Edit1->clear();
        return;
    }
    forgetShownDocument(); // also when the last log-out was not through the menu
    if (!prepareCashBook())
        return;
    if (currentUser == QLatin1String("Admin")) {
        showPage(PageMenu);
        showRestoreNotice(true);
        showDepositWarnings();
        // In the background: the menu is there at once, a finding comes as a message.
        chainCheck->start(startDir);
        return;
    }

    showPage(PagePosting);
    resetPostingChoices(); // never the previous cashier's currency and direction
    postingPage->Edit4->clear();
    postingPage->Edit4->setFocus();
    postingPage->Edit4->clear();
    postingPage->Label10->setText(currentUser);
    postingPage->Label8->setText(todayText());
    try {
        fillComboFromTable(postingPage->ComboBox1, *context.activities,
                           desk::columns::Activity);
        fillComboFromTable(postingPage->ComboBox4, *context.groups, desk::columns::GroupName);
        offerFirstGroup();
        refreshBalances();
        // Said at once, so that the cashier does not type a posting that will be refused.
        const QString closed = closedDay(postingPage->Label8->text());
        postingPage->dayNotice = closed.isEmpty() ? QString()
                                     : closed + QStringLiteral(": danas se vise ne knjizi");
        showStatusLine();
    } catch (const engine::EngineError &e) {
        showNoBalances(); // not 0.00 / 0.00, as if the desk were empty
        dialogs.message(e.message());
    }
    showRestoreNotice(false);
}

void TForm1::fillComboFromTable(QComboBox *combo, engine::Table &table, const QString &field)
{
    // The shown text of the combo box stays; only its list is replaced.
    const QString shown = combo->currentText();
    combo->blockSignals(true);
    combo->clear();
    combo->setEditText(shown);
    combo->blockSignals(false);

    QStringList items;
    {
        OpenTables tables(session, {&table});
        const int index = table.fieldIndex(field);
        for (table.first(); !table.eof(); table.next())
            items.append(index >= 0 ? table.fieldText(index) : table.fieldText(field));
    }

    combo->blockSignals(true);
    combo->addItems(items);
    combo->setCurrentIndex(-1);
    combo->setEditText(shown);
    combo->blockSignals(false);
}

void TForm1::BitBtn3Click()
{
    showPage(PageUsers);
}

void TForm1::BitBtn4Click()
{
    showPage(PageActivities);
}

void TForm1::BitBtn24Click()
{
    showPage(PageGroups);
}

void TForm1::BitBtn13Click()
{
    showPage(PageJournal);
}

void TForm1::BitBtn10Click()
{
    showPage(PageMenu);
}

void TForm1::BitBtn19Click()
{
    showPage(PageBackup);
    backupPage->entered();
}

void TForm1::BitBtnDayReportClick()
{
    showPage(PageDayReport);
    dayReportPage->entered();
}

void TForm1::BitBtnCountClick()
{
    showPage(PageCashierCount);
    cashCountPage->entered();
}

void TForm1::Glavnimeni1Click()
{
    closeSession();
    context.users->close();
    context.activities->close();
    context.journal->close();
    context.query->close();
    if (reviewWindow)
        reviewWindow->logOut();
    forgetShownDocument();
    clearPostingBoxes();
    showPage(PageLogin);
    Edit1->clear();
}

void TForm1::Izlazizprograma1Click()
{
    close();
}

// ---------------------------------------------------------------------------------------
// Helpers

void TForm1::showPage(int index)
{
    Notebook1->setCurrentIndex(index);
}

void TForm1::showRestoreNotice(bool administrator)
{
    backupPage->showRestoreNotice(administrator);
}

std::optional<QStringList> TForm1::loadFtpOptionLines()
{
    return FtpOptionBox::loadOptionLines(startDir, dialogs);
}

void TForm1::showMissingLine(qsizetype index)
{
    FtpOptionBox::showMissingLine(dialogs, index);
}

void TForm1::logAct(const QString &act, const QString &details)
{
    // An act that was done stays done; a log that cannot be written is said, not hidden.
    // The journal of its own session: the window's tables stay open as they are.
    QString e;
    if (!desk::inJournalOf(
            startDir,
            [&](engine::Table &journal) { desk::chain::logOwn(journal, currentUser, act, details); },
            &e))
        dialogs.message(QStringLiteral("Dnevnik radnji nije upisan: ") + e);
}

void TForm1::setReviewWindow(TForm2 *window)
{
    reviewWindow = window;
    if (window)
        window->setReversal([this](const QString &number) { reverseDocument(number); });
}

void TForm1::closeSession()
{
    session.close();
}

QString TForm1::todayText() const
{
    return platform::formatShortDate(settings, clock.today());
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            QChar c(u'\r');
            if (watched == Edit1)
                Edit1KeyPress(c);
            else if (watched == postingPage->Edit4)
                Edit4KeyPress(c);
            else if (watched == postingPage->Edit5)
                Edit5KeyPress(c);
            else if (watched == postingPage->Edit12)
                Edit12KeyPress(c);
            if (c.isNull())
                return true;
        }
    } else if (watched == postingPage->Edit4 && focusMovedWithinWindow(event)) {
        Edit4Enter();
    }
    return QMainWindow::eventFilter(watched, event);
}
