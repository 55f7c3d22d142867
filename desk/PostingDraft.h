#pragma once

// The posting's rules: a posting as the cashier (or a tool) fills it in, and the one answer
// the cash book gives it before it is stored. Every place that takes a posting from outside
// (the posting page, dorvanta-admin) asks judge(); the caller only shows what it answers:
//   - a refusal, of its kind and with the text shown as it stands (a field left empty, an
//     amount that is no number, not above zero or beyond MaxAmount, a closed day, a deposit
//     without its slip, a receipt over the cash cap);
//   - or the question to confirm, with what it must say first (a rate that was not the day's
//     own, the administrator's allowance), the cash limit or a negative balance, and the
//     posting itself on its last line.
// A receipt over the cash cap is refused with Refusal::CashCap; the administrator may allow
// it: the caller asks him (his code, his reason), puts the reason in `allowance` and asks
// again, and the answer's question then says that he allows it.
//
// judge() reads the journal (the closed days, the settings, the balances, the rates) and
// throws engine::EngineError when it cannot; it writes nothing. desk::post() checks the amount
// once more, so that nothing stores an amount these rules refuse.

#include "Posting.h"

#include "engine/Money.h"

#include <QDate>
#include <QString>
#include <QTime>

#include <optional>

namespace engine {
class DateTextFormat;
class Table;
}

namespace desk {

struct PostingDraft
{
    QDate day;
    QTime time;
    // The amount as typed: "350.50" or "350,50", blanks around it allowed.
    QString amountText;
    Direction direction = Direction::In;
    Currency currency = Currency::Dinars;
    QString reason;
    QString group;
    QString cashier;
    // The administrator's reason for a receipt over the cash cap; empty when he allowed none.
    QString allowance;
};

enum class Refusal {
    None,
    EmptyFields,  // the amount, the reason or the group left empty
    NotANumber,   // the amount is no amount
    NotAboveZero,
    TooLarge,     // beyond MaxAmount
    ClosedDay,    // the day or a later one is closed
    Deposit,      // a deposit that is none (no slip, not a dinar payment)
    CashCap,      // a receipt at or over the cash cap, not allowed by the administrator
};

struct PostingAnswer
{
    Refusal refusal = Refusal::None;
    // The refusal's text, ready to be shown; empty when not refused.
    QString text;
    // When not refused: the amount and the question that confirms the posting.
    std::optional<engine::Money> amount;
    QString question;
    // The receipt is over the cash cap and the administrator allows it: it is stored with his
    // reason (cashcap::postAllowed), not by post().
    bool allowedOverCap = false;

    bool refused() const { return refusal != Refusal::None; }
};

// The amount as typed, made an amount: blanks around it are dropped and a decimal comma
// ("350,50", as Serbian cashiers write it) is a decimal point. A text with both a point and a
// comma ("1.234,56") is ambiguous and stays refused, as does anything else that the engine's
// amount text does not allow.
std::optional<engine::Money> typedAmount(const QString &typed);

// The rules that need no journal: the empty fields and the amount. Not refused: `amount` is
// set, `question` is empty.
PostingAnswer checkInput(const PostingDraft &draft);

// "Dan <day> je zakljucen" when `day` or a later one is closed in the open journal, else empty.
QString closedDayNotice(engine::Table &journal, const QDate &day, const engine::DateTextFormat &dates);

// The whole answer for `draft` in the open journal; `dates` is its session's date text form.
PostingAnswer judge(engine::Table &journal, const PostingDraft &draft,
                    const engine::DateTextFormat &dates);

// The posting `draft` stands for, with `amount` (the answer's) and `time` as "HH:MM:SS". The
// reason is trimmed only where the rules read it; it is stored as it was typed.
Posting toPosting(const PostingDraft &draft, engine::Money amount);

} // namespace desk
