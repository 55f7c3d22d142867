// TForm1's daily cash report page (index 9, "DNEVNI IZVESTAJ", from the administrator menu):
// a day and the currencies, the day's state (closed with its report number, or not), the
// preview of the daily cash report and the day close.
#include "Unit1.h"

#include "BackupFiles.h"
#include "OpenTables.h"
#include "UiHelpers.h"

#include "desk/CashBook.h"
#include "desk/CashCount.h"
#include "desk/DeskSettings.h"
#include "desk/JournalBalances.h"
#include "CashBookPrints.h"
#include "desk/DeskTables.h"
#include "desk/Offsite.h"
#include "desk/SigningKey.h"
#include "engine/EngineError.h"
#include "engine/TextForms.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"

#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListWidget>
#include <QSpinBox>
#include <QTableWidget>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>

namespace {

const QString DayShown = QStringLiteral("dd/MM/yyyy");

desk::Currency countCurrency(const QComboBox *box)
{
    return box->currentIndex() == 1 ? desk::Currency::Euros : desk::Currency::Dinars;
}

// "5000" for a whole denomination, "0.50" for cents.
QString denominationText(engine::Money d)
{
    return d.hundredths() % 100 == 0 ? QString::number(d.hundredths() / 100) : d.toText();
}

// Tab and Enter in a count's number box go on to the next denomination's box (the last's to
// the button that stores the count), Shift+Tab back; the box reached has its number selected,
// so that what is typed replaces it.
class CountKeys : public QObject
{
public:
    CountKeys(QTableWidget *table, QPushButton *after) : QObject(table), table(table), after(after) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent *>(event)->key();
        const bool forward = key == Qt::Key_Tab || key == Qt::Key_Return || key == Qt::Key_Enter;
        if (!forward && key != Qt::Key_Backtab)
            return false;
        int row = -1;
        for (int r = 0; r < table->rowCount(); ++r) {
            if (table->cellWidget(r, 1) == watched)
                row = r;
        }
        if (row < 0)
            return false;
        const int next = forward ? row + 1 : row - 1;
        if (next >= 0 && next < table->rowCount()) {
            if (auto *box = qobject_cast<QSpinBox *>(table->cellWidget(next, 1))) {
                table->scrollToItem(table->item(next, 0));
                box->setFocus(Qt::TabFocusReason);
                box->selectAll();
            }
        } else if (next >= table->rowCount()) {
            after->setFocus(Qt::TabFocusReason);
        }
        return true;
    }

private:
    QTableWidget *table;
    QPushButton *after;
};

QTableWidget *countTable(QWidget *parent, const char *name)
{
    auto *table = named(new QTableWidget(0, 3, parent), name);
    table->setHorizontalHeaderLabels(
        {QStringLiteral("Apoen"), QStringLiteral("Komada"), QStringLiteral("Iznos")});
    table->verticalHeader()->setVisible(false);
    table->verticalHeader()->setDefaultSectionSize(22);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setColumnWidth(0, 70);
    table->setColumnWidth(1, 90);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

// The pieces counted in `table` of `currency`, those above zero.
QList<desk::cashcount::Pieces> countedPieces(const QTableWidget *table, desk::Currency currency)
{
    const QList<engine::Money> &denominations = desk::cashcount::denominations(currency);
    QList<desk::cashcount::Pieces> pieces;
    for (int row = 0; row < table->rowCount() && row < int(denominations.size()); ++row) {
        if (const auto *box = qobject_cast<QSpinBox *>(table->cellWidget(row, 1)); box && box->value() > 0)
            pieces.append({denominations.at(row), box->value()});
    }
    return pieces;
}

// "Manjak 19.50 DIN", "Visak 5.00 EUR", "Bez razlike".
QString differenceWords(engine::Money difference, const QString &code)
{
    if (difference.isZero())
        return QStringLiteral("Bez razlike");
    return QStringLiteral("%1 %2 %3")
        .arg(difference < engine::Money() ? QStringLiteral("Manjak") : QStringLiteral("Visak"),
             (difference < engine::Money() ? -difference : difference).toText(), code);
}

} // namespace

void TForm1::buildDayReportPage()
{
    QWidget *page = buildPageShell(PageDayReport, QStringLiteral("DNEVNI IZVESTAJ BLAGAJNE"),
                                   QStringLiteral("BitBtnDayMenu"));
    auto *dayLabel = new QLabel(QStringLiteral("Dan:"), page);
    dayLabel->setGeometry(32, 64, 120, 20);
    DayPicker = named(new QDateEdit(page), "DayPicker");
    DayPicker->setDisplayFormat(DayShown);
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
    connect(CountPostDifference, &QPushButton::clicked, this, &TForm1::CountPostDifferenceClick);

    auto *countLabel = new QLabel(QStringLiteral("POPIS GOTOVINE"), page);
    countLabel->setFont(uiFont(10, true));
    countLabel->setGeometry(420, 64, 160, 20);
    CountCurrency = named(new QComboBox(page), "CountCurrency");
    CountCurrency->addItems({QStringLiteral("DIN"), QStringLiteral("EUR")});
    CountCurrency->setGeometry(586, 60, 110, 26);
    CountTable = countTable(page, "CountTable");
    CountTable->setGeometry(420, 90, 276, 248);
    CountTotal = named(new QLabel(page), "CountTotal");
    CountTotal->setFont(uiFont(10, true));
    CountTotal->setGeometry(420, 342, 276, 20);
    CountBook = named(new QLabel(page), "CountBook");
    CountBook->setGeometry(420, 364, 276, 20);
    CountPost = named(new QPushButton(QStringLiteral("PROKNJIZI POPIS"), page), "CountPost");
    CountPost->setFont(uiFont(11, true));
    CountPost->setGeometry(420, 390, 276, 40);

    connect(CountCurrency, &QComboBox::currentIndexChanged, this, &TForm1::showCountTable);
    connect(CountPost, &QPushButton::clicked, this, &TForm1::CountPostClick);
    connect(DayPicker, &QDateEdit::dateChanged, this, &TForm1::showDayState);
    connect(DayPicker, &QDateEdit::dateChanged, this, &TForm1::showDayCounts);
    connect(DayPreview, &QPushButton::clicked, this, &TForm1::DayPreviewClick);
    connect(DayClose, &QPushButton::clicked, this, &TForm1::DayCloseClick);

    DayMonthReport = named(new QPushButton(QStringLiteral("MESECNI IZVESTAJ"), page), "DayMonthReport");
    DayMonthReport->setFont(uiFont(10, true));
    DayMonthReport->setGeometry(32, 438, 178, 34); // below the counts of the day
    DayYearReport = named(new QPushButton(QStringLiteral("GODISNJI IZVESTAJ"), page), "DayYearReport");
    DayYearReport->setFont(uiFont(10, true));
    DayYearReport->setGeometry(214, 438, 178, 34);
    connect(DayMonthReport, &QPushButton::clicked, this, [this] { periodReport(false); });
    connect(DayYearReport, &QPushButton::clicked, this, [this] { periodReport(true); });
}

void TForm1::BitBtnDayReportClick()
{
    showPage(PageDayReport);
    DayPicker->blockSignals(true);
    DayPicker->setDate(clock.today());
    DayPicker->blockSignals(false);
    showDayState();
    showCountTable();
    showDayCounts();
}

TForm1::CountControls TForm1::adminCount() const
{
    return {CountCurrency, CountTable, CountTotal, CountBook, CountPost};
}

TForm1::CountControls TForm1::cashierCount() const
{
    return {CashierCountCurrency, CashierCountTable, CashierCountTotal, CashierCountBook,
            CashierCountPost};
}

void TForm1::showCountTable()
{
    showCount(adminCount());
}

void TForm1::showCountSums()
{
    showCountSumsOf(adminCount());
}

void TForm1::showCount(const CountControls &count)
{
    const desk::Currency currency = countCurrency(count.currency);
    const QList<engine::Money> &denominations = desk::cashcount::denominations(currency);
    count.table->setRowCount(int(denominations.size()));
    QObject *keys = count.table->findChild<QObject *>(QStringLiteral("CountKeys"),
                                                      Qt::FindDirectChildrenOnly);
    if (!keys) {
        keys = new CountKeys(count.table, count.post);
        keys->setObjectName(QStringLiteral("CountKeys"));
    }
    for (int row = 0; row < int(denominations.size()); ++row) {
        auto *denomination = new QTableWidgetItem(denominationText(denominations.at(row)));
        denomination->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        count.table->setItem(row, 0, denomination);
        auto *pieces = new QSpinBox(count.table);
        pieces->setObjectName(QStringLiteral("CountPieces%1").arg(row));
        pieces->setRange(0, 999999999); // whole, never negative
        pieces->setAlignment(Qt::AlignRight);
        pieces->installEventFilter(keys);
        connect(pieces, &QSpinBox::valueChanged, this, [this, count] { showCountSumsOf(count); });
        count.table->setCellWidget(row, 1, pieces);
        auto *amount = new QTableWidgetItem;
        amount->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        count.table->setItem(row, 2, amount);
    }
    showCountSumsOf(count);
    const QString code = desk::cashcount::currencyCode(currency);
    // A blind count does not show the book balance, so that it cannot steer the count.
    try {
        OpenTables tables(session, {Table3});
        if (desk::settings::read(*Table3).blindCount) {
            count.book->setText(QStringLiteral("Knjizno stanje: prikazuje se posle popisa"));
            return;
        }
        const journal_balances::Balances b = journal_balances::current(*Table3);
        count.book->setText(QStringLiteral("Knjizno stanje: %1 %2")
                                .arg((currency == desk::Currency::Euros ? b.euros : b.dinars).toText(), code));
    } catch (const engine::EngineError &e) {
        count.book->setText(e.message());
    }
}

void TForm1::showCountSumsOf(const CountControls &count)
{
    const desk::Currency currency = countCurrency(count.currency);
    const QList<engine::Money> &denominations = desk::cashcount::denominations(currency);
    const QString code = desk::cashcount::currencyCode(currency);
    engine::Money total;
    for (int row = 0; row < count.table->rowCount() && row < int(denominations.size()); ++row) {
        const auto *pieces = qobject_cast<QSpinBox *>(count.table->cellWidget(row, 1));
        const engine::Money amount =
            engine::Money::fromHundredths(denominations.at(row).hundredths() * (pieces ? pieces->value() : 0));
        count.table->item(row, 2)->setText(amount.toText());
        total += amount;
    }
    count.total->setText(QStringLiteral("Prebrojano: %1 %2").arg(total.toText(), code));
}

bool TForm1::storeCount(const CountControls &controls, const QDate &day, bool leaveDifference)
{
    const desk::Currency currency = countCurrency(controls.currency);
    const QString code = desk::cashcount::currencyCode(currency);
    const QList<desk::cashcount::Pieces> pieces = countedPieces(controls.table, currency);
    const engine::Money counted = desk::cashcount::total(pieces);
    // The question names the difference from the book balance now (storing reads it again,
    // under the journal's lock).
    QString difference;
    try {
        OpenTables tables(session, {Table3});
        const journal_balances::Balances b = journal_balances::current(*Table3);
        difference = differenceWords(counted - (currency == desk::Currency::Euros ? b.euros : b.dinars), code);
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
        return false;
    }
    if (!dialogs.confirm(QStringLiteral("%1. Da li ste sigurni?\nPopis gotovine %2 za dan %3: prebrojano %4 %2.")
                             .arg(difference, code, day.toString(DayShown), counted.toText())))
        return false;
    desk::cashcount::Count count;
    try {
        OpenTables tables(session, {Table3});
        count = desk::cashcount::record(*Table3, day, currency, pieces, currentUser,
                                        clock.currentDateTime(), session.dateFormat(),
                                        leaveDifference ? desk::cashcount::Difference::Pending
                                                        : desk::cashcount::Difference::PostedNow);
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
        return false;
    }
    const engine::Money diff = count.difference();
    QString said = QStringLiteral("Popis je proknjizen: prebrojano %1 %2, knjizno stanje %3 %2")
                       .arg(count.counted.toText(), code, count.book.toText());
    if (diff.isZero())
        said += QStringLiteral(", bez razlike.");
    else if (count.document.isEmpty())
        said += QStringLiteral(", %1 %2 %3; razliku knjizi administrator.")
                    .arg(diff < engine::Money() ? QStringLiteral("manjak") : QStringLiteral("visak"),
                         (diff < engine::Money() ? -diff : diff).toText(), code);
    else
        said += QStringLiteral(", %1 %2 %3 dokumentom %4.")
                    .arg(diff < engine::Money() ? QStringLiteral("manjak") : QStringLiteral("visak"),
                         (diff < engine::Money() ? -diff : diff).toText(), code, count.document);
    dialogs.message(said);
    if (!count.document.isEmpty()) {
        // The difference is a posting: the balances, the export and its upload follow it.
        try {
            refreshBalances();
        } catch (const engine::EngineError &e) {
            showNoBalances();
            dialogs.message(QStringLiteral("Popis je proknjizen, ali stanje kase nije izracunato: ") +
                            e.message());
        }
        if (exportJournal(QStringLiteral("Popis je proknjizen, ali izvoz nije zapisan: ")))
            uploadDecision();
    }
    return true;
}

void TForm1::CountPostClick()
{
    storeCount(adminCount(), DayPicker->date(), false);
    showCountTable();
    showDayCounts();
}

void TForm1::buildCashierCountPage()
{
    QWidget *page = Notebook1->widget(PageCashierCount);
    auto *title = named(new QLabel(QStringLiteral("POPIS KASE"), page), "Heading10");
    title->setFont(uiFont(16, true));
    title->setStyleSheet(QStringLiteral("color: navy"));
    title->setGeometry(16, 8, 680, 32);
    auto *currencyLabel = new QLabel(QStringLiteral("Valuta:"), page);
    currencyLabel->setGeometry(32, 60, 60, 26);
    CashierCountCurrency = named(new QComboBox(page), "CashierCountCurrency");
    CashierCountCurrency->addItems({QStringLiteral("DIN"), QStringLiteral("EUR")});
    CashierCountCurrency->setGeometry(96, 60, 110, 26);
    CashierCountTable = countTable(page, "CashierCountTable");
    CashierCountTable->setGeometry(32, 94, 300, 292);
    auto *hint = new QLabel(QStringLiteral("Upisite broj komada svakog apoena (Tab ili Enter: "
                                           "sledeci apoen)."),
                            page);
    hint->setWordWrap(true);
    hint->setGeometry(32, 390, 300, 36);
    CashierCountTotal = named(new QLabel(page), "CashierCountTotal");
    CashierCountTotal->setFont(uiFont(12, true));
    CashierCountTotal->setGeometry(360, 94, 336, 26);
    CashierCountBook = named(new QLabel(page), "CashierCountBook");
    CashierCountBook->setGeometry(360, 124, 336, 22);
    CashierCountPost = named(new QPushButton(QStringLiteral("PROKNJIZI POPIS"), page), "CashierCountPost");
    CashierCountPost->setFont(uiFont(14, true));
    CashierCountPost->setGeometry(360, 160, 336, 60);
    CashierCountBack =
        named(new QPushButton(QStringLiteral("NAZAD NA KNJIZENJE"), page), "CashierCountBack");
    CashierCountBack->setFont(uiFont(10, true));
    CashierCountBack->setGeometry(360, 436, 336, 40);
    connect(CashierCountCurrency, &QComboBox::currentIndexChanged, this,
            [this] { showCount(cashierCount()); });
    connect(CashierCountPost, &QPushButton::clicked, this, &TForm1::CashierCountPostClick);
    connect(CashierCountBack, &QPushButton::clicked, this, [this] {
        showPage(PagePosting);
        postingPage->Edit4->setFocus();
    });
}

void TForm1::BitBtnCountClick()
{
    showPage(PageCashierCount);
    CashierCountCurrency->blockSignals(true);
    CashierCountCurrency->setCurrentIndex(0);
    CashierCountCurrency->blockSignals(false);
    showCount(cashierCount());
    if (auto *first = qobject_cast<QSpinBox *>(CashierCountTable->cellWidget(0, 1))) {
        first->setFocus();
        first->selectAll();
    }
}

void TForm1::CashierCountPostClick()
{
    // The cashier's count of his till today, in his name; the administrator posts its
    // difference.
    if (storeCount(cashierCount(), clock.today(), true))
        showCount(cashierCount());
}

void TForm1::showDayCounts()
{
    CountList->clear();
    QList<desk::cashcount::Count> counts;
    try {
        OpenTables tables(session, {Table3});
        counts = desk::cashcount::ofDay(*Table3, DayPicker->date());
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
            state = differenceWords(c.difference(), code) + QStringLiteral(", RAZLIKA NIJE PROKNJIZENA");
        else
            state = differenceWords(c.difference(), code)
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

void TForm1::CountPostDifferenceClick()
{
    const QListWidgetItem *item = CountList->currentItem();
    if (!item || !item->data(Qt::UserRole).isValid()) {
        dialogs.message(QStringLiteral("Prvo izaberite popis cija se razlika knjizi"));
        return;
    }
    const qint64 number = item->data(Qt::UserRole).toLongLong();
    desk::cashcount::Count count;
    try {
        OpenTables tables(session, {Table3});
        for (const desk::cashcount::Count &c : desk::cashcount::ofDay(*Table3, DayPicker->date()))
            if (c.number == number)
                count = c;
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
        return;
    }
    if (!count.differencePending()) {
        dialogs.message(count.difference().isZero()
                            ? QStringLiteral("Popis %1 nema razliku").arg(number)
                            : QStringLiteral("Razlika popisa %1 je vec proknjizena dokumentom %2")
                                  .arg(QString::number(number), count.document));
        return;
    }
    // The administrator's code, as at the login: the difference goes into his name.
    const std::optional<QString> typed =
        dialogs.password(QStringLiteral("PROKNJIZI RAZLIKU"), QStringLiteral("Sifra administratora:"));
    if (!typed)
        return;
    bool admin = false;
    try {
        OpenTables tables(session, {Table1});
        for (Table1->first(); !Table1->eof(); Table1->next()) {
            if (Table1->fieldText(QStringLiteral("SIFRA")) == *typed
                && Table1->fieldText(QStringLiteral("IMEIPREZIME")) == QLatin1String("Admin"))
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
    const QString code = desk::cashcount::currencyCode(count.currency);
    if (!dialogs.confirm(QStringLiteral("%1. Da li ste sigurni?\nRazlika popisa %2 (%3) se knjizi "
                                        "na ime %4.")
                             .arg(differenceWords(count.difference(), code),
                                  QString::number(number), count.countedBy, currentUser)))
        return;
    try {
        OpenTables tables(session, {Table3});
        count = desk::cashcount::postDifference(*Table3, number, currentUser,
                                                clock.currentDateTime(), session.dateFormat());
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
        return;
    }
    dialogs.message(QStringLiteral("Razlika popisa %1 je proknjizena dokumentom %2.")
                        .arg(QString::number(number), count.document));
    try {
        refreshBalances();
    } catch (const engine::EngineError &e) {
        showNoBalances();
        dialogs.message(QStringLiteral("Razlika je proknjizena, ali stanje kase nije izracunato: ") +
                        e.message());
    }
    if (exportJournal(QStringLiteral("Razlika je proknjizena, ali izvoz nije zapisan: ")))
        uploadDecision();
    showDayCounts();
    showCountTable(); // the book balance after the difference
}

void TForm1::showDayState()
{
    try {
        OpenTables tables(session, {Table3});
        const std::optional<desk::DayClose> close =
            desk::cashbook::dayClose(*Table3, DayPicker->date());
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

void TForm1::DayPreviewClick()
{
    const auto currencies = std::array{report::DayCurrencies::Both, report::DayCurrencies::Dinars,
                                       report::DayCurrencies::Euros}[size_t(
        qBound(0, DayCurrency->currentIndex(), 2))];
    try {
        std::optional<report::Document> document;
        {
            OpenTables tables(session, {Table3});
            const QDate day = DayPicker->date();
            document = cash_prints::dayReport(desk::cashbook::dayBook(*Table3, day), day,
                                               currencies, clock.currentDateTime(),
                                               desk::signing::reportedFingerprint(startDir, day),
                                               desk::cashcount::ofDay(*Table3, day),
                                               desk::settings::read(*Table3),
                                               desk::rates::RateBook::load(*Table3),
                                               desk::deposits::overdue(*Table3, day));
        }
        reportPreview(*document);
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
    }
}

// The month (or year) of the chosen day, a row per day (or month), and its chart page.
void TForm1::periodReport(bool year)
{
    try {
        std::optional<report::Document> document;
        {
            OpenTables tables(session, {Table3});
            const QDate day = DayPicker->date();
            const desk::month::Figures figures =
                year ? desk::month::ofYear(*Table3, day.year())
                     : desk::month::ofMonth(*Table3, day.year(), day.month());
            document = cash_prints::monthReport(figures, year, clock.currentDateTime(),
                                                desk::settings::read(*Table3));
        }
        reportPreview(*document);
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
    }
}

void TForm1::DayCloseClick()
{
    const QDate day = DayPicker->date();
    // What would be refused is said before the question, not after a Yes.
    try {
        OpenTables tables(session, {Table3});
        if (const std::optional<desk::DayClose> close = desk::cashbook::dayClose(*Table3, day)) {
            dialogs.message(QStringLiteral("Dan %1 je vec zakljucen: izvestaj br. %2/%3.")
                                .arg(day.toString(DayShown))
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
        OpenTables tables(session, {Table3});
        const QList<desk::cashcount::Count> counts = desk::cashcount::ofDay(*Table3, day);
        if (counts.isEmpty())
            countWord = QStringLiteral("Za dan %1 nije napravljen popis gotovine.").arg(day.toString(DayShown));
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
                             .arg(day.toString(DayShown))))
        return;
    // The close writes a backup too, so that the newest backup holds every closed day.
    const QString backup =
        backup_files::backupFileName(todayText(), engine::timeText(clock.now()));
    try {
        session.setPassword(desk::tablePassword());
        QString backupError;
        // The backup's off-site copy follows; its failure is said, the close stands.
        const auto offsiteCopy = [this](const QString &name) {
            const QString sent = sendOffsite(name);
            return sent.isEmpty() ? sent : u'\n' + sent;
        };
        const desk::DayClose close = desk::cashbook::closeDayAndBackUp(
            session, day, currentUser, clock.currentDateTime(), backup, backupError);
        dialogs.message(QStringLiteral("Dan %1 je zakljucen: izvestaj br. %2/%3.")
                            .arg(day.toString(DayShown))
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
