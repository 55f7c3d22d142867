// The posting's rules: the input, the closed day, the deposit and the cash cap refuse; the
// cash limit and a negative balance are asked.
#include "PostingDraft.h"

#include "DayCloses.h"
#include "CashCap.h"
#include "Deposits.h"
#include "DeskSettings.h"
#include "JournalBalances.h"

#include "engine/Table.h"
#include "engine/TextForms.h"

#include <QStringList>

namespace desk {

namespace {

PostingAnswer refusedWith(Refusal refusal, const QString &text)
{
    PostingAnswer a;
    a.refusal = refusal;
    a.text = text;
    return a;
}

// The question proper: a receipt over the cash limit, a payment below zero, else plainly sure.
QString question(engine::Table &journal, const PostingDraft &draft, engine::Money amount)
{
    const QString sure = QStringLiteral("Da li ste sigurni?");
    // The journal's balance now, not the one shown: another desk may have posted since.
    const bool euro = draft.currency == Currency::Euros;
    if (draft.direction == Direction::In) {
        // Without a limit a receipt asks nothing more.
        const settings::Shared shared = settings::read(journal);
        if (shared.limit(draft.currency).isZero())
            return sure;
        const journal_balances::Balances now = journal_balances::current(journal);
        const QString over = settings::limitQuestion(shared, draft.currency,
                                                     euro ? now.euros : now.dinars, amount);
        return over.isEmpty() ? sure : over;
    }
    const journal_balances::Balances now = journal_balances::current(journal);
    if ((euro ? now.euros : now.dinars) - amount < engine::Money())
        return QStringLiteral("Stanje kase ce biti negativno. ") + sure;
    return sure;
}

// The posting the question confirms: direction, amount, currency, reason and group.
QString summary(const PostingDraft &draft, engine::Money amount)
{
    return QStringLiteral("%1 %2 %3, razlog: %4, grupa: %5")
        .arg(draft.direction == Direction::In ? QStringLiteral("ULAZ") : QStringLiteral("IZLAZ"),
             amount.toText(),
             draft.currency == Currency::Euros ? QStringLiteral("EUR") : QStringLiteral("DIN"),
             draft.reason.trimmed(), draft.group.trimmed());
}

} // namespace

std::optional<engine::Money> typedAmount(const QString &typed)
{
    QString text = typed.trimmed();
    if (text.contains(u'.') && text.contains(u','))
        return std::nullopt;
    text.replace(u',', u'.');
    return engine::Money::tryParse(text);
}

PostingAnswer checkInput(const PostingDraft &draft)
{
    const QString amountText = draft.amountText.trimmed();
    QStringList empty;
    if (amountText.isEmpty() || amountText == QLatin1String("0.00"))
        empty.append(QStringLiteral("polje sa iznosom"));
    // Blanks alone are no reason and no group.
    if (draft.reason.trimmed().isEmpty())
        empty.append(QStringLiteral("polje sa komentarom"));
    if (draft.group.trimmed().isEmpty())
        empty.append(QStringLiteral("polje za grupu"));
    if (!empty.isEmpty())
        return refusedWith(
            Refusal::EmptyFields,
            QStringLiteral(
                "Morate popuniti polje sa iznosom, polje sa komentarom i polje za grupu!!!\n") +
                (empty.size() == 1 ? QStringLiteral("Nije popunjeno: ")
                                   : QStringLiteral("Nisu popunjena: ")) +
                empty.join(QStringLiteral(", ")));

    const std::optional<engine::Money> amount = typedAmount(amountText);
    if (!amount)
        return refusedWith(Refusal::NotANumber,
                           QStringLiteral("Iznos nije ispravan broj: %1 (upisite ga kao 350.50 "
                                          "ili 350,50)")
                               .arg(amountText));
    if (const QString wrong = amountRefusal(*amount); !wrong.isEmpty())
        return refusedWith(*amount <= engine::Money() ? Refusal::NotAboveZero : Refusal::TooLarge,
                           wrong);
    PostingAnswer a;
    a.amount = amount;
    return a;
}

QString closedDayNotice(engine::Table &journal, const QDate &day, const engine::DateTextFormat &dates)
{
    const std::optional<QDate> last = cashbook::lastClosedDay(journal);
    if (!last || day > *last)
        return {};
    return QStringLiteral("Dan %1 je zakljucen").arg(dates.toText(day));
}

PostingAnswer judge(engine::Table &journal, const PostingDraft &draft,
                    const engine::DateTextFormat &dates)
{
    PostingAnswer a = checkInput(draft);
    if (a.refused())
        return a;
    const engine::Money amount = *a.amount;
    // A closed day takes no posting: said before the question, not after Yes. (Storing
    // checks again, inside its transaction.)
    if (const QString closed = closedDayNotice(journal, draft.day, dates); !closed.isEmpty())
        return refusedWith(Refusal::ClosedDay,
                           closed + QStringLiteral(": na taj dan se vise ne knjizi. Promena "
                                                   "nije proknjizena."));
    // A deposit without its slip and a receipt over the cash cap are refused before any
    // question.
    Posting posting = toPosting(draft, amount);
    posting.reason = posting.reason.trimmed();
    if (const QString refused = deposits::refusal(posting); !refused.isEmpty())
        return refusedWith(Refusal::Deposit, refused);
    const cashcap::Answer cap = cashcap::check(journal, posting);
    QString note = cap.note;
    if (cap.refused) {
        const QString allowance = draft.allowance.trimmed();
        if (allowance.isEmpty())
            return refusedWith(
                Refusal::CashCap,
                cap.refusal + QStringLiteral("\n\nNovac koji nije prodaja (npr. pozajmica "
                                             "vlasnika) moze se primiti samo uz sifru "
                                             "administratora i razlog. Promena nije "
                                             "proknjizena."));
        a.allowedOverCap = true;
        note = (note.isEmpty() ? QString() : note + QLatin1Char('\n')) +
               QStringLiteral("Administrator dozvoljava gotovinsku naplatu preko 10.000 EUR: ") +
               allowance;
    }
    a.question = (note.isEmpty() ? QString() : note + QLatin1Char('\n')) +
                 question(journal, draft, amount) + QLatin1Char('\n') + summary(draft, amount);
    return a;
}

Posting toPosting(const PostingDraft &draft, engine::Money amount)
{
    Posting p;
    p.cashier = draft.cashier;
    p.day = draft.day;
    p.time = engine::timeText(draft.time);
    p.currency = draft.currency;
    p.direction = draft.direction;
    p.amount = amount;
    p.reason = draft.reason;
    p.group = draft.group;
    return p;
}

} // namespace desk
