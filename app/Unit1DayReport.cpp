// TForm1's daily cash report page (index 9, "DNEVNI IZVESTAJ", from the administrator menu):
// a day and the currencies, the day's state (closed with its report number, or not), the
// preview of the daily cash report and the day close.
#include "Unit1.h"

#include "BackupFiles.h"
#include "OpenTables.h"
#include "UiHelpers.h"

#include "desk/CashBook.h"
#include "CashBookPrints.h"
#include "desk/DeskTables.h"
#include "engine/EngineError.h"
#include "engine/TextForms.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>

namespace {

const QString DayShown = QStringLiteral("dd/MM/yyyy");

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
                                               desk::cashcount::ofDay(*Table3, day),
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
        const desk::DayClose close = desk::cashbook::closeDayAndBackUp(
            session, day, currentUser, clock.currentDateTime(), backup, backupError);
        dialogs.message(QStringLiteral("Dan %1 je zakljucen: izvestaj br. %2/%3.")
                            .arg(day.toString(DayShown))
                            .arg(close.number)
                            .arg(day.year()) +
                        (backupError.isEmpty()
                             ? QStringLiteral("\nBack-up: %1").arg(backup)
                             : QStringLiteral("\nBack-up NIJE snimljen: ") + backupError));
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
    }
    showDayState();
}
