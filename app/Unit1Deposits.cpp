// TForm1's part of the money beyond the till: the deposit to the bank offered on the posting
// page, the administrator's allowance of a receipt over the cash cap (the rules themselves are
// desk's, PostingDraft.h), and the administrator's warning of receipts not deposited.
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

std::optional<QString> TForm1::askCapAllowance(const QString &refusal)
{
    const QString caption = QStringLiteral("DOZVOLA ADMINISTRATORA");
    if (!dialogs.confirmWithButtons(refusal, caption, QStringLiteral("ODUSTANI")))
        return std::nullopt;
    const std::optional<QString> code =
        dialogs.password(caption, QStringLiteral("Sifra administratora:"));
    if (!code)
        return std::nullopt;
    if (!desk::checkAdminCode(startDir, *code).isEmpty()) {
        dialogs.message(QStringLiteral("Sifra administratora nije ispravna: promena nije proknjizena"));
        return std::nullopt;
    }
    const std::optional<QString> why = dialogs.prompt(
        caption, QStringLiteral("Razlog (npr. pozajmica vlasnika blagajni):"), QString());
    if (!why || why->trimmed().isEmpty()) {
        dialogs.message(QStringLiteral("Razlog nije dat: promena nije proknjizena"));
        return std::nullopt;
    }
    return why->trimmed();
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
