// TForm1's part of the money beyond the till: the deposit to the bank offered on the posting
// page, the rules a posting meets before its question (a deposit's slip, the cash cap and the
// administrator's allowance), and the administrator's warning of receipts not deposited.
#include "Unit1.h"

#include "OpenTables.h"

#include "desk/CashCap.h"
#include "desk/DeskTables.h"
#include "desk/Deposits.h"
#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

void TForm1::BitBtnDepositClick()
{
    const std::optional<QString> slip = dialogs.prompt(
        QStringLiteral("POLOG NA RACUN"),
        QStringLiteral("Broj uplatnice (naloga za uplatu pazara na racun):"), QString());
    if (!slip)
        return;
    if (const QString wrong = desk::deposits::slipRefusal(*slip); !wrong.isEmpty()) {
        dialogs.message(wrong);
        return;
    }
    // A deposit is a payment in dinars; the cashier then types its amount.
    ComboBox2->setCurrentIndex(0);
    ComboBox2Change();
    ComboBox3->setCurrentIndex(0);
    ComboBox3Change();
    Edit5->setText(desk::deposits::reasonFor(*slip));
    if (Edit12->text().trimmed().isEmpty())
        Edit12->setText(desk::deposits::Kind);
    Edit4->setFocus();
}

bool TForm1::passesCashRules(engine::Money amount, const QString &reason, const QString &group,
                             QString &note)
{
    capAllowance.clear();
    desk::Posting draft;
    draft.cashier = Label10->text();
    draft.day = session.dateFormat().parseOrThrow(Label8->text());
    draft.currency = RadioButton2->isChecked() ? desk::Currency::Euros : desk::Currency::Dinars;
    draft.direction = RadioButton3->isChecked() ? desk::Direction::In : desk::Direction::Out;
    draft.amount = amount;
    draft.reason = reason.trimmed();
    draft.group = group;
    if (const QString refused = desk::deposits::refusal(draft); !refused.isEmpty()) {
        dialogs.message(refused);
        return false;
    }
    desk::cashcap::Answer cap;
    {
        OpenTables tables(session, {Table3});
        cap = desk::cashcap::check(*Table3, draft);
    }
    note = cap.note;
    if (!cap.refused)
        return true;
    const QString caption = QStringLiteral("DOZVOLA ADMINISTRATORA");
    if (!dialogs.confirmWithButtons(
            cap.refusal + QStringLiteral("\n\nNovac koji nije prodaja (npr. pozajmica vlasnika) "
                                         "moze se primiti samo uz sifru administratora i "
                                         "razlog. Promena nije proknjizena."),
            caption, QStringLiteral("ODUSTANI")))
        return false;
    const std::optional<QString> code =
        dialogs.password(caption, QStringLiteral("Sifra administratora:"));
    if (!code)
        return false;
    if (!desk::checkAdminCode(startDir, *code).isEmpty()) {
        dialogs.message(QStringLiteral("Sifra administratora nije ispravna: promena nije proknjizena"));
        return false;
    }
    const std::optional<QString> why = dialogs.prompt(
        caption, QStringLiteral("Razlog (npr. pozajmica vlasnika blagajni):"), QString());
    if (!why || why->trimmed().isEmpty()) {
        dialogs.message(QStringLiteral("Razlog nije dat: promena nije proknjizena"));
        return false;
    }
    capAllowance = why->trimmed();
    note = (note.isEmpty() ? QString() : note + QLatin1Char('\n')) +
           QStringLiteral("Administrator dozvoljava gotovinsku naplatu preko 10.000 EUR: ") +
           capAllowance;
    return true;
}

void TForm1::showDepositWarnings()
{
    QStringList lines;
    try {
        OpenTables tables(session, {Table3});
        lines = desk::deposits::warningLines(desk::deposits::overdue(*Table3, clock.today()));
    } catch (const engine::EngineError &e) {
        lines << e.message();
    }
    LabelDeposits->setText(lines.join(QLatin1Char('\n')));
    LabelDeposits->setToolTip(LabelDeposits->text());
}
