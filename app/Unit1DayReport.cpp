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
    DayState->setGeometry(32, 136, 660, 28);

    DayPreview = named(new QPushButton(QStringLiteral("PRIKAZI DNEVNI IZVESTAJ"), page), "DayPreview");
    DayPreview->setFont(uiFont(14, true));
    DayPreview->setStyleSheet(QStringLiteral("color: red"));
    DayPreview->setGeometry(32, 192, 360, 64);
    DayClose = named(new QPushButton(QStringLiteral("ZAKLJUCI DAN"), page), "DayClose");
    DayClose->setFont(uiFont(14, true));
    DayClose->setGeometry(32, 280, 360, 64);

    auto *countLabel = new QLabel(QStringLiteral("POPIS GOTOVINE"), page);
    countLabel->setFont(uiFont(10, true));
    countLabel->setGeometry(420, 64, 160, 20);
    CountCurrency = named(new QComboBox(page), "CountCurrency");
    CountCurrency->addItems({QStringLiteral("DIN"), QStringLiteral("EUR")});
    CountCurrency->setGeometry(586, 60, 110, 26);
    CountTable = named(new QTableWidget(0, 3, page), "CountTable");
    CountTable->setHorizontalHeaderLabels(
        {QStringLiteral("Apoen"), QStringLiteral("Komada"), QStringLiteral("Iznos")});
    CountTable->verticalHeader()->setVisible(false);
    CountTable->verticalHeader()->setDefaultSectionSize(22);
    CountTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    CountTable->setColumnWidth(0, 70);
    CountTable->setColumnWidth(1, 90);
    CountTable->horizontalHeader()->setStretchLastSection(true);
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
    connect(DayPreview, &QPushButton::clicked, this, &TForm1::DayPreviewClick);
    connect(DayClose, &QPushButton::clicked, this, &TForm1::DayCloseClick);
}

void TForm1::BitBtnDayReportClick()
{
    showPage(PageDayReport);
    DayPicker->blockSignals(true);
    DayPicker->setDate(clock.today());
    DayPicker->blockSignals(false);
    showDayState();
    showCountTable();
}

void TForm1::showCountTable()
{
    const QList<engine::Money> &denominations = desk::cashcount::denominations(countCurrency(CountCurrency));
    CountTable->setRowCount(int(denominations.size()));
    for (int row = 0; row < int(denominations.size()); ++row) {
        auto *denomination = new QTableWidgetItem(denominationText(denominations.at(row)));
        denomination->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        CountTable->setItem(row, 0, denomination);
        auto *pieces = new QSpinBox(CountTable);
        pieces->setObjectName(QStringLiteral("CountPieces%1").arg(row));
        pieces->setRange(0, 999999999); // whole, never negative
        pieces->setAlignment(Qt::AlignRight);
        connect(pieces, &QSpinBox::valueChanged, this, &TForm1::showCountSums);
        CountTable->setCellWidget(row, 1, pieces);
        auto *amount = new QTableWidgetItem;
        amount->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        CountTable->setItem(row, 2, amount);
    }
    showCountSums();
    const desk::Currency currency = countCurrency(CountCurrency);
    const QString code = desk::cashcount::currencyCode(currency);
    // A blind count does not show the book balance, so that it cannot steer the count.
    try {
        OpenTables tables(session, {Table3});
        if (desk::settings::read(*Table3).blindCount) {
            CountBook->setText(QStringLiteral("Knjizno stanje: prikazuje se posle popisa"));
            return;
        }
        const journal_balances::Balances b = journal_balances::current(*Table3);
        CountBook->setText(QStringLiteral("Knjizno stanje: %1 %2")
                               .arg((currency == desk::Currency::Euros ? b.euros : b.dinars).toText(), code));
    } catch (const engine::EngineError &e) {
        CountBook->setText(e.message());
    }
}

void TForm1::showCountSums()
{
    const desk::Currency currency = countCurrency(CountCurrency);
    const QList<engine::Money> &denominations = desk::cashcount::denominations(currency);
    const QString code = desk::cashcount::currencyCode(currency);
    engine::Money total;
    for (int row = 0; row < CountTable->rowCount() && row < int(denominations.size()); ++row) {
        const auto *pieces = qobject_cast<QSpinBox *>(CountTable->cellWidget(row, 1));
        const engine::Money amount =
            engine::Money::fromHundredths(denominations.at(row).hundredths() * (pieces ? pieces->value() : 0));
        CountTable->item(row, 2)->setText(amount.toText());
        total += amount;
    }
    CountTotal->setText(QStringLiteral("Prebrojano: %1 %2").arg(total.toText(), code));
}

void TForm1::CountPostClick()
{
    const QDate day = DayPicker->date();
    const desk::Currency currency = countCurrency(CountCurrency);
    const QString code = desk::cashcount::currencyCode(currency);
    const QList<engine::Money> &denominations = desk::cashcount::denominations(currency);
    QList<desk::cashcount::Pieces> pieces;
    for (int row = 0; row < CountTable->rowCount() && row < int(denominations.size()); ++row) {
        if (const auto *box = qobject_cast<QSpinBox *>(CountTable->cellWidget(row, 1)); box && box->value() > 0)
            pieces.append({denominations.at(row), box->value()});
    }
    const engine::Money counted = desk::cashcount::total(pieces);
    if (!dialogs.confirm(QStringLiteral("Da li ste sigurni? Popis gotovine %1 za dan %2: prebrojano %3 %1.")
                             .arg(code, day.toString(DayShown), counted.toText())))
        return;
    desk::cashcount::Count count;
    try {
        OpenTables tables(session, {Table3});
        count = desk::cashcount::record(*Table3, day, currency, pieces, currentUser,
                                        clock.currentDateTime(), session.dateFormat());
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
        return;
    }
    const engine::Money difference = count.difference();
    QString said = QStringLiteral("Popis je proknjizen: prebrojano %1 %2, knjizno stanje %3 %2")
                       .arg(count.counted.toText(), code, count.book.toText());
    said += count.document.isEmpty()
                ? QStringLiteral(", bez razlike.")
                : QStringLiteral(", %1 %2 %3 dokumentom %4.")
                      .arg(difference < engine::Money() ? QStringLiteral("manjak") : QStringLiteral("visak"),
                           (difference < engine::Money() ? -difference : difference).toText(), code,
                           count.document);
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
    showCountTable();
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
                                               desk::signing::fingerprintOf(startDir),
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
