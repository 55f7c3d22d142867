// The desk settings every desk of the journal shares (desk/DeskSettings.h), in a group box of
// the backup and settings page: the cash limit per currency, the blind count and the voucher
// right after each posting.
#include "Unit1.h"

#include "OpenTables.h"
#include "UiHelpers.h"

#include "desk/DeskSettings.h"
#include "engine/EngineError.h"
#include "platform/Dialogs.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

void TForm1::buildDeskSettingsBox(QWidget *page)
{
    GroupBoxSettings = named(new QGroupBox(QStringLiteral("POSTAVKE BLAGAJNE"), page),
                             "GroupBoxSettings");
    GroupBoxSettings->setGeometry(360, 292, 336, 98);
    auto *dinars = new QLabel(QStringLiteral("Maksimum DIN"), GroupBoxSettings);
    dinars->setGeometry(8, 24, 98, 20);
    EditLimitDin = named(new QLineEdit(GroupBoxSettings), "EditLimitDin");
    EditLimitDin->setGeometry(106, 20, 86, 26);
    auto *euros = new QLabel(QStringLiteral("EUR"), GroupBoxSettings);
    euros->setGeometry(200, 24, 30, 20);
    EditLimitEur = named(new QLineEdit(GroupBoxSettings), "EditLimitEur");
    EditLimitEur->setGeometry(232, 20, 92, 26);
    CheckBlindCount = named(new QCheckBox(QStringLiteral("Slepi popis"), GroupBoxSettings),
                            "CheckBlindCount");
    CheckBlindCount->setGeometry(12, 50, 170, 20);
    CheckVoucherAfter = named(new QCheckBox(QStringLiteral("Nalog posle knjizenja"), GroupBoxSettings),
                              "CheckVoucherAfter");
    CheckVoucherAfter->setGeometry(12, 72, 170, 20);
    SaveSettings = named(new QPushButton(QStringLiteral("SNIMI POSTAVKE"), GroupBoxSettings),
                         "SaveSettings");
    SaveSettings->setFont(uiFont(9, true));
    SaveSettings->setGeometry(190, 52, 134, 38);
    connect(SaveSettings, &QPushButton::clicked, this, &TForm1::SaveSettingsClick);
}

void TForm1::loadDeskSettings()
{
    try {
        OpenTables tables(session, {Table3});
        const desk::settings::Shared shared = desk::settings::read(*Table3);
        EditLimitDin->setText(shared.limitDinars.toText());
        EditLimitEur->setText(shared.limitEuros.toText());
        CheckBlindCount->setChecked(shared.blindCount);
        CheckVoucherAfter->setChecked(shared.voucherAfterPosting);
    } catch (const engine::EngineError &) {
        // The page serves also a journal that is missing or damaged (to restore it): the
        // settings then stay empty, and saving them says why they cannot be saved.
        EditLimitDin->clear();
        EditLimitEur->clear();
    }
}

void TForm1::SaveSettingsClick()
{
    desk::settings::Shared shared;
    const auto limit = [this](QLineEdit *edit, engine::Money &into, const char *currency) {
        const QString text = edit->text().trimmed();
        const std::optional<engine::Money> m =
            text.isEmpty() ? std::optional<engine::Money>(engine::Money()) : engine::Money::tryParse(text);
        if (!m || *m < engine::Money()) {
            dialogs.message(QStringLiteral("Blagajnicki maksimum %1 nije ispravan iznos: \"%2\" "
                                           "(0 znaci bez maksimuma)")
                                .arg(QLatin1String(currency), text));
            return false;
        }
        into = *m;
        return true;
    };
    if (!limit(EditLimitDin, shared.limitDinars, "DIN") || !limit(EditLimitEur, shared.limitEuros, "EUR"))
        return;
    shared.blindCount = CheckBlindCount->isChecked();
    shared.voucherAfterPosting = CheckVoucherAfter->isChecked();
    try {
        OpenTables tables(session, {Table3});
        desk::settings::write(*Table3, shared, currentUser);
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
        return;
    }
    dialogs.message(QStringLiteral("Postavke su snimljene"));
    loadDeskSettings();
}
