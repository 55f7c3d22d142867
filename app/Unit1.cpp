// TForm1: creation, the date-format check, the login page, the administrator menu, the
// page shells of the administrator's pages, and navigation between pages.
#include "Unit1.h"
#include "ChainCheck.h"

#include "OpenTables.h"

#include "BackupFiles.h"
#include "HelpWindow.h"
#include "JpegImage.h"
#include "UiHelpers.h"
#include "LoginBackground.h"
#include "PasswordPrompt.h"
#include "Unit2.h"

#include "desk/DeskTables.h"
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
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QStackedWidget>
#include <QTimer>

namespace {

constexpr int ClientWidth = 712;
constexpr int ClientHeight = 496;
// What the window manager's frame is taken to add on each side of the window (and below its
// title bar) when the window is fitted to a small screen.
constexpr int WindowBorder = 4;


} // namespace

TForm1::TForm1(engine::Session &session, platform::Dialogs &dialogs,
               const platform::Clock &clock, const platform::SystemSettings &settings,
               QWidget *parent)
    : QMainWindow(parent), session(session), dialogs(dialogs), clock(clock),
      settings(settings),
      reportPreview([this](report::Document &document) { showPreviewWindow(document, this); })
{
    Q_INIT_RESOURCE(app);
    desk::placeTablesOnServer();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("DORVANTA - ver 1.5"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    Table1 = new engine::Table(session, QStringLiteral("podaci\\korisnici.db"), this);
    Table2 = new engine::Table(session, QStringLiteral("podaci\\aktivnost.db"), this);
    Table3 = new engine::Table(session, QStringLiteral("podaci/promet.db"), this);
    Table4 = new engine::Table(session, QStringLiteral("podaci\\grupe.db"), this);
    Query1 = new engine::Query(session, this);
    Query1->sql().append(QStringLiteral(
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
    buildBackupPage();
    buildDayReportPage();
    buildCashierCountPage();
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

void TForm1::fitToScreen()
{
    QSize size = sizeHint();
    const QScreen *screen = this->screen();
    if (!screen) {
        setFixedSize(size);
        return;
    }
    const QRect area = screen->availableGeometry();
    // The window manager's frame around the window: its title bar and borders.
    const QSize frame(2 * WindowBorder, style()->pixelMetric(QStyle::PM_TitleBarHeight) + 2 * WindowBorder);
    const QSize room = area.size() - frame;
    if (size.width() > room.width() || size.height() > room.height()) {
        // A screen smaller than the window (a laptop with a large scale factor): the window
        // fits it and the pages scroll, so that every control stays reachable.
        auto *scroll = named(new QScrollArea(this), "PageScroll");
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidget(takeCentralWidget());
        scroll->setWidgetResizable(false);
        setCentralWidget(scroll);
        // Room for the scroll bar across the way that scrolls, so that only one is needed.
        const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        if (size.height() > room.height())
            size.rwidth() += bar;
        if (size.width() > room.width())
            size.rheight() += bar;
        size = size.boundedTo(room);
    }
    setFixedSize(size);
    move(area.center() - QRect(QPoint(), size + frame).center());
}

TForm1::~TForm1()
{
    session.close();
}

int TForm1::pageIndex() const
{
    return Notebook1->currentIndex();
}

void TForm1::buildMenu()
{
    menuBar()->setObjectName(QStringLiteral("MainMenu1"));
    Glavnimeni1 = menuBar()->addAction(QStringLiteral("Glavni meni"));
    Glavnimeni1->setObjectName(QStringLiteral("Glavnimeni1"));
    connect(Glavnimeni1, &QAction::triggered, this, &TForm1::Glavnimeni1Click);
    Izlazizprograma1 = menuBar()->addAction(QStringLiteral("Izlaz iz programa"));
    Izlazizprograma1->setObjectName(QStringLiteral("Izlazizprograma1"));
    connect(Izlazizprograma1, &QAction::triggered, this, &TForm1::Izlazizprograma1Click);
    Pomoc1 = menuBar()->addAction(QStringLiteral("Pomoc"));
    Pomoc1->setObjectName(QStringLiteral("Pomoc1"));
    connect(Pomoc1, &QAction::triggered, this, &TForm1::Pomoc1Click);
}

void TForm1::Pomoc1Click()
{
    if (!helpWindow)
        helpWindow = new HelpWindow(this);
    helpWindow->show();
    helpWindow->raise();
    helpWindow->activateWindow();
}

QWidget *TForm1::buildPageShell(int index, const QString &heading,
                                const QString &menuButtonName)
{
    QWidget *page = Notebook1->widget(index);
    auto *title = new QLabel(heading, page);
    title->setObjectName(QStringLiteral("Heading%1").arg(index));
    title->setFont(uiFont(16, true));
    title->setStyleSheet(QStringLiteral("color: navy"));
    title->setGeometry(16, 8, 680, 32);

    auto *back = new QPushButton(QStringLiteral("MENI ADMINISTRATORA"), page);
    back->setObjectName(menuButtonName);
    back->setFont(uiFont(9, true));
    back->setGeometry(520, 440, 176, 40);
    connect(back, &QPushButton::clicked, this, &TForm1::BitBtn10Click);
    if (menuButtonName == QLatin1String("BitBtn10"))
        BitBtn10 = back;
    else if (menuButtonName == QLatin1String("BitBtn11"))
        BitBtn11 = back;
    else if (menuButtonName == QLatin1String("BitBtn12"))
        BitBtn12 = back;
    else if (menuButtonName == QLatin1String("BitBtn16"))
        BitBtn16 = back;
    else if (menuButtonName == QLatin1String("BitBtn22"))
        BitBtn22 = back;
    else if (menuButtonName == QLatin1String("BitBtn27"))
        BitBtn27 = back;
    return page;
}

void TForm1::buildLoginPage()
{
    QWidget *page = Notebook1->widget(PageLogin);
    Image1 = new LoginBackground(page);
    Image1->setObjectName(QStringLiteral("Image1"));
    QFile picture(QStringLiteral(":/dorvanta/login.jpg"));
    if (picture.open(QIODevice::ReadOnly))
        Image1->setImage(decodeJpeg(picture.readAll()));

    Label1 = new QLabel(QStringLiteral("Unesite sifru za rad..."), page);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(uiFont(18, true));
    Label1->setStyleSheet(QStringLiteral("color: white; background: transparent"));
    Label1->setGeometry(220, 150, 300, 36);

    Edit1 = new QLineEdit(page);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setMaxLength(5);
    Edit1->setEchoMode(QLineEdit::Password);
    Edit1->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // "*"
    Edit1->setFont(uiFont(22, true));
    Edit1->setGeometry(256, 200, 200, 48);
    Edit1->installEventFilter(this);

    BitBtn9 = new QPushButton(QStringLiteral("PRIJAVI SE ZA RAD"), page);
    BitBtn9->setObjectName(QStringLiteral("BitBtn9"));
    BitBtn9->setFont(uiFont(11, true));
    BitBtn9->setGeometry(256, 264, 200, 48);
    connect(BitBtn9, &QPushButton::clicked, this, &TForm1::BitBtn9Click);
}

void TForm1::buildAdminMenuPage()
{
    QWidget *page = Notebook1->widget(PageMenu);
    struct Entry
    {
        QPushButton **button;
        const char *name;
        const char *caption;
        void (TForm1::*handler)();
    };
    const Entry entries[] = {
        {&BitBtn3, "BitBtn3", "PODESAVANJE KORISNIKA", &TForm1::BitBtn3Click},
        {&BitBtn4, "BitBtn4", "PODESAVANJE CESTIH AKTIVNOSTI", &TForm1::BitBtn4Click},
        {&BitBtn24, "BitBtn24", "PODESAVANJE GRUPE PROMETA", &TForm1::BitBtn24Click},
        {&BitBtn5, "BitBtn5", "IZVESTAJI", &TForm1::BitBtn5Click},
        {&BitBtn13, "BitBtn13", "PREGLED TABELE PROMETA", &TForm1::BitBtn13Click},
        {&BitBtn19, "BitBtn19", "BACK-UP i PODESAVANJA", &TForm1::BitBtn19Click},
    };
    int top = 24;
    for (const Entry &e : entries) {
        auto *b = new QPushButton(QString::fromLatin1(e.caption), page);
        b->setObjectName(QString::fromLatin1(e.name));
        b->setFont(uiFont(14, true));
        b->setGeometry(156, top, 400, 64);
        connect(b, &QPushButton::clicked, this, e.handler);
        *e.button = b;
        top += 76;
    }
    BitBtnDayReport = named(new QPushButton(QStringLiteral("DNEVNI\nIZVESTAJ"), page), "BitBtnDayReport");
    BitBtnDayReport->setFont(uiFont(11, true));
    BitBtnDayReport->setGeometry(572, 24, 124, 64);
    connect(BitBtnDayReport, &QPushButton::clicked, this, &TForm1::BitBtnDayReportClick);
    // Receipts not deposited in time, filled at the administrator's login.
    LabelDeposits = named(new QLabel(page), "LabelDeposits");
    LabelDeposits->setWordWrap(true);
    LabelDeposits->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LabelDeposits->setStyleSheet(QStringLiteral("color: red; font-weight: bold"));
    LabelDeposits->setGeometry(566, 100, 140, 380);
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
        fillComboFromTable(postingPage->ComboBox1, *Table2, QStringLiteral("AKTIVNOST"));
        fillComboFromTable(postingPage->ComboBox4, *Table4, QStringLiteral("GRUPA"));
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

void TForm1::Glavnimeni1Click()
{
    closeSession();
    Table1->close();
    Table2->close();
    Table3->close();
    Query1->close();
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
