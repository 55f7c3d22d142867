// DayReportPage: the daily cash report page's controls, the day's state and close, the period
// reports, the administrator's count and the day's counts.
#include "DayReportPage.h"

#include "BackupFiles.h"
#include "BackupPage.h"
#include "CashBookPrints.h"
#include "CountSheet.h"
#include "OpenTables.h"
#include "PageContext.h"
#include "PageHost.h"
#include "UiHelpers.h"

#include "desk/CashBook.h"
#include "desk/CashCount.h"
#include "desk/DeskSettings.h"
#include "desk/DeskTables.h"
#include "desk/SigningKey.h"
#include "desk/JournalColumns.h"
#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "engine/TextForms.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>

#include <array>

DayReportPage::DayReportPage(PageContext &context, QWidget *page) : m_context(context)
{
    auto *dayLabel = new QLabel(QStringLiteral("Dan:"), page);
    dayLabel->setGeometry(32, 64, 120, 20);
    DayPicker = named(new QDateEdit(page), "DayPicker");
    DayPicker->setDisplayFormat(CountSheet::DayShown);
    DayPicker->setCalendarPopup(true);
    DayPicker->setGeometry(32, 86, 160, 28);
    auto *currencyLabel = new QLabel(QStringLiteral("Valuta:"), page);
    currencyLabel->setGeometry(224, 64, 120, 20);
    DayCurrency = named(new QComboBox(page), "DayCurrency");
    DayCurrency->addItems({QStringLiteral("DINARI I EUR"), QStringLiteral("DINARI"),
                           QStringLiteral("EUR")});
    DayCurrency->setGeometry(224, 86, 160, 28);
    DayState = named(new QLabel(page), "DayState");
    DayState->setFont(uiFont(12, true));
    // Left of the count grid, on two lines when the close's text needs them.
    DayState->setWordWrap(true);
    DayState->setGeometry(32, 120, 380, 66);

    DayPreview = named(new QPushButton(QStringLiteral("PRIKAZI DNEVNI IZVESTAJ"), page), "DayPreview");
    DayPreview->setFont(uiFont(14, true));
    DayPreview->setStyleSheet(QStringLiteral("color: red"));
    DayPreview->setGeometry(32, 192, 360, 48);
    DayClose = named(new QPushButton(QStringLiteral("ZAKLJUCI DAN"), page), "DayClose");
    DayClose->setFont(uiFont(14, true));
    DayClose->setGeometry(32, 246, 360, 48);

    // The day's counts, a cashier's difference posted from here.
    CountList = named(new QListWidget(page), "CountList");
    CountList->setGeometry(32, 302, 380, 92);
    CountList->setWordWrap(true);
    CountPostDifference = named(new QPushButton(QStringLiteral("PROKNJIZI RAZLIKU"), page),
                                "CountPostDifference");
    CountPostDifference->setFont(uiFont(10, true));
    CountPostDifference->setGeometry(32, 398, 380, 34);
    connect(CountPostDifference, &QPushButton::clicked, this, &DayReportPage::CountPostDifferenceClick);

    auto *countLabel = new QLabel(QStringLiteral("POPIS GOTOVINE"), page);
    countLabel->setFont(uiFont(10, true));
    countLabel->setGeometry(420, 64, 160, 20);
    CountSheet::Controls sheet;
    sheet.currency = named(new QComboBox(page), "CountCurrency");
    sheet.currency->addItems({QStringLiteral("DIN"), QStringLiteral("EUR")});
    sheet.currency->setGeometry(586, 60, 110, 26);
    sheet.table = CountSheet::makeTable(page, "CountTable");
    sheet.table->setGeometry(420, 90, 276, 248);
    sheet.total = named(new QLabel(page), "CountTotal");
    sheet.total->setFont(uiFont(10, true));
    sheet.total->setGeometry(420, 342, 276, 20);
    sheet.book = named(new QLabel(page), "CountBook");
    sheet.book->setGeometry(420, 364, 276, 20);
    sheet.post = named(new QPushButton(QStringLiteral("PROKNJIZI POPIS"), page), "CountPost");
    sheet.post->setFont(uiFont(11, true));
    sheet.post->setGeometry(420, 390, 276, 40);
    count = std::make_unique<CountSheet>(context, sheet);

    connect(sheet.currency, &QComboBox::currentIndexChanged, this, &DayReportPage::showCountTable);
    connect(sheet.post, &QPushButton::clicked, this, &DayReportPage::CountPostClick);
    connect(DayPicker, &QDateEdit::dateChanged, this, &DayReportPage::showDayState);
    connect(DayPicker, &QDateEdit::dateChanged, this, &DayReportPage::showDayCounts);
    connect(DayPreview, &QPushButton::clicked, this, &DayReportPage::DayPreviewClick);
    connect(DayClose, &QPushButton::clicked, this, &DayReportPage::DayCloseClick);

    DayMonthReport = named(new QPushButton(QStringLiteral("MESECNI IZVESTAJ"), page), "DayMonthReport");
    DayMonthReport->setFont(uiFont(10, true));
    DayMonthReport->setGeometry(32, 438, 178, 34); // below the counts of the day
    DayYearReport = named(new QPushButton(QStringLiteral("GODISNJI IZVESTAJ"), page), "DayYearReport");
    DayYearReport->setFont(uiFont(10, true));
    DayYearReport->setGeometry(214, 438, 178, 34);
    connect(DayMonthReport, &QPushButton::clicked, this, [this] { periodReport(false); });
    connect(DayYearReport, &QPushButton::clicked, this, [this] { periodReport(true); });
}

DayReportPage::~DayReportPage() = default;

void DayReportPage::entered()
{
    DayPicker->blockSignals(true);
    DayPicker->setDate(m_context.clock.today());
    DayPicker->blockSignals(false);
    showDayState();
    showCountTable();
    showDayCounts();
}

void DayReportPage::showCountTable()
{
    count->show();
}

void DayReportPage::CountPostClick()
{
    count->store(DayPicker->date(), false);
    showCountTable();
    showDayCounts();
}

void DayReportPage::showDayCounts()
{
    CountList->clear();
    QList<desk::cashcount::Count> counts;
    try {
        OpenTables tables(m_context.session, {m_context.journal});
        counts = desk::cashcount::ofDay(*m_context.journal, DayPicker->date());
    } catch (const engine::EngineError &e) {
        CountList->addItem(e.message());
        return;
    }
    for (const desk::cashcount::Count &c : std::as_const(counts)) {
        const QString code = desk::cashcount::currencyCode(c.currency);
        QString state;
        if (c.difference().isZero())
            state = QStringLiteral("bez razlike");
        else if (c.differencePending())
            state = CountSheet::differenceWords(c.difference(), code) +
                    QStringLiteral(", RAZLIKA NIJE PROKNJIZENA");
        else
            state = CountSheet::differenceWords(c.difference(), code)
                    + QStringLiteral(", dokument %1 (%2)").arg(c.document, c.postedBy);
        auto *item = new QListWidgetItem(
            QStringLiteral("Popis %1, %2 %3: prebrojano %4 %5, knjizno %6 %5\n%7")
                .arg(QString::number(c.number), c.countedBy,
                     c.countedAt.toString(QStringLiteral("HH:mm")), c.counted.toText(), code,
                     c.book.toText(), state));
        item->setData(Qt::UserRole, c.number);
        item->setToolTip(item->text());
        CountList->addItem(item);
    }
}

void DayReportPage::CountPostDifferenceClick()
{
    platform::Dialogs &dialogs = m_context.dialogs;
    engine::Table &journal = *m_context.journal;
    engine::Table &users = *m_context.users;
    const QListWidgetItem *item = CountList->currentItem();
    if (!item || !item->data(Qt::UserRole).isValid()) {
        dialogs.message(QStringLiteral("Prvo izaberite popis cija se razlika knjizi"));
        return;
    }
    const qint64 number = item->data(Qt::UserRole).toLongLong();
    desk::cashcount::Count chosen;
    try {
        OpenTables tables(m_context.session, {&journal});
        for (const desk::cashcount::Count &c : desk::cashcount::ofDay(journal, DayPicker->date()))
            if (c.number == number)
                chosen = c;
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
        return;
    }
    if (!chosen.differencePending()) {
        dialogs.message(chosen.difference().isZero()
                            ? QStringLiteral("Popis %1 nema razliku").arg(number)
                            : QStringLiteral("Razlika popisa %1 je vec proknjizena dokumentom %2")
                                  .arg(QString::number(number), chosen.document));
        return;
    }
    // The administrator's code, as at the login: the difference goes into his name.
    const std::optional<QString> typed =
        dialogs.password(QStringLiteral("PROKNJIZI RAZLIKU"), QStringLiteral("Sifra administratora:"));
    if (!typed)
        return;
    bool admin = false;
    try {
        OpenTables tables(m_context.session, {&users});
        for (users.first(); !users.eof(); users.next()) {
            if (users.fieldText(desk::columns::UserCode) == *typed
                && users.fieldText(desk::columns::UserName) == QLatin1String("Admin"))
                admin = true;
        }
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
        return;
    }
    if (!admin) {
        dialogs.message(QStringLiteral("Pogresna sifra administratora. Razlika nije proknjizena."));
        return;
    }
    PageHost &window = m_context.window;
    const QString user = window.currentUserName();
    const QString code = desk::cashcount::currencyCode(chosen.currency);
    if (!dialogs.confirm(QStringLiteral("%1. Da li ste sigurni?\nRazlika popisa %2 (%3) se knjizi "
                                        "na ime %4.")
                             .arg(CountSheet::differenceWords(chosen.difference(), code),
                                  QString::number(number), chosen.countedBy, user)))
        return;
    try {
        OpenTables tables(m_context.session, {&journal});
        chosen = desk::cashcount::postDifference(journal, number, user,
                                                 m_context.clock.currentDateTime(),
                                                 m_context.session.dateFormat());
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
        return;
    }
    dialogs.message(QStringLiteral("Razlika popisa %1 je proknjizena dokumentom %2.")
                        .arg(QString::number(number), chosen.document));
    try {
        window.refreshBalances();
    } catch (const engine::EngineError &e) {
        window.showNoBalances();
        dialogs.message(QStringLiteral("Razlika je proknjizena, ali stanje kase nije izracunato: ") +
                        e.message());
    }
    if (window.exportJournal(QStringLiteral("Razlika je proknjizena, ali izvoz nije zapisan: ")))
        window.uploadDecision();
    showDayCounts();
    showCountTable(); // the book balance after the difference
}

void DayReportPage::showDayState()
{
    try {
        OpenTables tables(m_context.session, {m_context.journal});
        const std::optional<desk::DayClose> close =
            desk::cashbook::dayClose(*m_context.journal, DayPicker->date());
        DayState->setText(close ? QStringLiteral("ZAKLJUCEN: izvestaj br. %1/%2 (%3, %4)")
                                      .arg(close->number)
                                      .arg(close->day.year())
                                      .arg(close->closedBy,
                                           close->closedAt.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")))
                                : QStringLiteral("NIJE ZAKLJUCEN"));
    } catch (const engine::EngineError &e) {
        DayState->setText(e.message());
    }
}

void DayReportPage::DayPreviewClick()
{
    const auto currencies = std::array{report::DayCurrencies::Both, report::DayCurrencies::Dinars,
                                       report::DayCurrencies::Euros}[size_t(
        qBound(0, DayCurrency->currentIndex(), 2))];
    engine::Table &journal = *m_context.journal;
    try {
        std::optional<report::Document> document;
        {
            OpenTables tables(m_context.session, {&journal});
            const QDate day = DayPicker->date();
            document = cash_prints::dayReport(
                desk::cashbook::dayBook(journal, day), day, currencies,
                m_context.clock.currentDateTime(),
                desk::signing::reportedFingerprint(m_context.window.startDirectory(), day),
                desk::cashcount::ofDay(journal, day), desk::settings::read(journal),
                desk::rates::RateBook::load(journal), desk::deposits::overdue(journal, day));
        }
        m_context.window.showReport(*document);
    } catch (const engine::EngineError &e) {
        m_context.dialogs.message(e.message());
    }
}

// The month (or year) of the chosen day, a row per day (or month), and its chart page.
void DayReportPage::periodReport(bool year)
{
    engine::Table &journal = *m_context.journal;
    try {
        std::optional<report::Document> document;
        {
            OpenTables tables(m_context.session, {&journal});
            const QDate day = DayPicker->date();
            const desk::month::Figures figures =
                year ? desk::month::ofYear(journal, day.year())
                     : desk::month::ofMonth(journal, day.year(), day.month());
            document = cash_prints::monthReport(figures, year, m_context.clock.currentDateTime(),
                                                desk::settings::read(journal));
        }
        m_context.window.showReport(*document);
    } catch (const engine::EngineError &e) {
        m_context.dialogs.message(e.message());
    }
}

void DayReportPage::DayCloseClick()
{
    platform::Dialogs &dialogs = m_context.dialogs;
    engine::Table &journal = *m_context.journal;
    const QDate day = DayPicker->date();
    const QString dayText = day.toString(CountSheet::DayShown);
    // What would be refused is said before the question, not after a Yes.
    try {
        OpenTables tables(m_context.session, {&journal});
        if (const std::optional<desk::DayClose> close = desk::cashbook::dayClose(journal, day)) {
            dialogs.message(QStringLiteral("Dan %1 je vec zakljucen: izvestaj br. %2/%3.")
                                .arg(dayText)
                                .arg(close->number)
                                .arg(day.year()));
            return;
        }
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
        return;
    }
    // A day closes after its count: without one, or with a difference not posted, it asks.
    QString countWord;
    try {
        OpenTables tables(m_context.session, {&journal});
        const QList<desk::cashcount::Count> counts = desk::cashcount::ofDay(journal, day);
        if (counts.isEmpty())
            countWord = QStringLiteral("Za dan %1 nije napravljen popis gotovine.").arg(dayText);
        for (const desk::cashcount::Count &c : counts) {
            if (c.differencePending())
                countWord = QStringLiteral("Razlika popisa %1 (%2) nije proknjizena.")
                                .arg(QString::number(c.number), c.countedBy);
        }
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
        return;
    }
    if (!countWord.isEmpty()
        && !dialogs.confirm(countWord + QStringLiteral(" Da li ipak zakljucujete dan?")))
        return;
    if (!dialogs.confirm(QStringLiteral("Da li ste sigurni? Posle zakljucenja niko ne moze "
                                        "knjiziti na dan %1 ni pre njega.")
                             .arg(dayText)))
        return;
    // The close writes a backup too, so that the newest backup holds every closed day.
    PageHost &window = m_context.window;
    const QString backup = backup_files::backupFileName(
        window.todayText(), engine::timeText(m_context.clock.now()));
    try {
        m_context.session.setPassword(desk::tablePassword());
        QString backupError;
        // The backup's off-site copy follows; its failure is said, the close stands.
        const auto offsiteCopy = [this](const QString &name) {
            const QString sent = sendOffsite(m_context, name);
            return sent.isEmpty() ? sent : u'\n' + sent;
        };
        const desk::DayClose close = desk::cashbook::closeDayAndBackUp(
            m_context.session, day, window.currentUserName(), m_context.clock.currentDateTime(),
            backup, backupError);
        dialogs.message(QStringLiteral("Dan %1 je zakljucen: izvestaj br. %2/%3.")
                            .arg(dayText)
                            .arg(close.number)
                            .arg(day.year()) +
                        (backupError.isEmpty()
                             ? QStringLiteral("\nBack-up: %1").arg(backup) + offsiteCopy(backup)
                             : QStringLiteral("\nBack-up NIJE snimljen: ") + backupError));
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
    }
    showDayState();
}
