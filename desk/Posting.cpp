// Storing one posting: the record, its balances, its number and its link in one transaction.
#include "Posting.h"

#include "Errors.h"
#include "JournalBalances.h"
#include "PostingDraft.h"

#include "engine/Table.h"
#include "engine/TextForms.h"
#include "engine/Transaction.h"

#include <optional>

namespace desk {

Amounts amountsOf(const Posting &p)
{
    Amounts a;
    const bool in = p.direction == Direction::In;
    if (p.currency == Currency::Euros)
        (in ? a.eurosIn : a.eurosOut) = p.amount;
    else
        (in ? a.dinarsIn : a.dinarsOut) = p.amount;
    return a;
}

Posted writeRecord(engine::Table &journal, const Posting &p, const Amounts &a, DocumentKind kind,
                   const QString &reverses, const engine::DateTextFormat &dates)
{
    const journal_balances::Balances before = journal_balances::current(journal);
    Posted out;
    out.dinars = before.dinars + a.dinarsIn - a.dinarsOut;
    out.euros = before.euros + a.eurosIn - a.eurosOut;
    journal.insert();
    journal.setFieldText(QStringLiteral("KORISNIK"), p.cashier);
    journal.setFieldText(QStringLiteral("DATUM"), dates.toText(p.day));
    journal.setFieldText(QStringLiteral("VREME"), p.time);
    journal.setFieldText(QStringLiteral("OPIS"), p.reason);
    journal.setFieldText(QStringLiteral("GRUPA"), p.group);
    journal.setFieldMoney(QStringLiteral("ULAZDIN"), a.dinarsIn);
    journal.setFieldMoney(QStringLiteral("IZLAZDIN"), a.dinarsOut);
    journal.setFieldMoney(QStringLiteral("ULAZEUR"), a.eurosIn);
    journal.setFieldMoney(QStringLiteral("IZLAZEUR"), a.eurosOut);
    journal.setFieldMoney(QStringLiteral("STANJEDIN"), out.dinars);
    journal.setFieldMoney(QStringLiteral("STANJEEUR"), out.euros);
    journal.post();
    out.id = journal.recordId();
    out.number = cashbook::numberRecord(journal, out.id, kind, p.day, reverses);
    out.stored = true;
    return out;
}

Posted post(engine::Table &journal, const Posting &p, const engine::DateTextFormat &dates)
{
    // No amount the posting's rules refuse is stored, whoever posts.
    if (const QString wrong = amountRefusal(p.amount); !wrong.isEmpty())
        refuse(wrong);
    // A posting without a key is begun as any transaction is.
    std::optional<engine::Transaction> transaction;
    if (p.key.isNull())
        transaction.emplace(journal);
    else
        transaction.emplace(journal, p.key);
    if (!transaction->begun())
        return {};
    const Posted out = writeRecord(journal, p, amountsOf(p),
                                   p.direction == Direction::In ? DocumentKind::Receipt
                                                                : DocumentKind::Payment,
                                   {}, dates);
    transaction->commit();
    return out;
}

} // namespace desk
