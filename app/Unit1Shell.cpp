// TForm1's frame: the main menu, the page shells of the administrator's pages, the login page
// and the administrator menu page, and the window's size fitted to the screen.
#include "Unit1.h"

#include "HelpWindow.h"
#include "JpegImage.h"
#include "LoginBackground.h"
#include "UiHelpers.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStyle>

namespace {

// What the window manager's frame is taken to add on each side of the window (and below its
// title bar) when the window is fitted to a small screen.
constexpr int WindowBorder = 4;

} // namespace

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

    auto *prompt = named(new QLabel(QStringLiteral("Unesite sifru za rad..."), page), "Label1");
    prompt->setFont(uiFont(18, true));
    prompt->setStyleSheet(QStringLiteral("color: white; background: transparent"));
    prompt->setGeometry(220, 150, 300, 36);

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
        const char *name;
        const char *caption;
        void (TForm1::*handler)();
    };
    const Entry entries[] = {
        {"BitBtn3", "PODESAVANJE KORISNIKA", &TForm1::BitBtn3Click},
        {"BitBtn4", "PODESAVANJE CESTIH AKTIVNOSTI", &TForm1::BitBtn4Click},
        {"BitBtn24", "PODESAVANJE GRUPE PROMETA", &TForm1::BitBtn24Click},
        {"BitBtn5", "IZVESTAJI", &TForm1::BitBtn5Click},
        {"BitBtn13", "PREGLED TABELE PROMETA", &TForm1::BitBtn13Click},
        {"BitBtn19", "BACK-UP i PODESAVANJA", &TForm1::BitBtn19Click},
    };
    int top = 24;
    for (const Entry &e : entries) {
        auto *b = new QPushButton(QString::fromLatin1(e.caption), page);
        b->setObjectName(QString::fromLatin1(e.name));
        b->setFont(uiFont(14, true));
        b->setGeometry(156, top, 400, 64);
        connect(b, &QPushButton::clicked, this, e.handler);
        top += 76;
    }
    auto *dayReport = named(new QPushButton(QStringLiteral("DNEVNI\nIZVESTAJ"), page), "BitBtnDayReport");
    dayReport->setFont(uiFont(11, true));
    dayReport->setGeometry(572, 24, 124, 64);
    connect(dayReport, &QPushButton::clicked, this, &TForm1::BitBtnDayReportClick);
    // Receipts not deposited in time, filled at the administrator's login.
    LabelDeposits = named(new QLabel(page), "LabelDeposits");
    LabelDeposits->setWordWrap(true);
    LabelDeposits->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LabelDeposits->setStyleSheet(QStringLiteral("color: red; font-weight: bold"));
    LabelDeposits->setGeometry(566, 100, 140, 380);
}

