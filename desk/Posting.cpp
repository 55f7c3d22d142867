// Storing one posting: the record, its balances, its number and its link in one transaction.
#include "Posting.h"

#include "AuditLog.h"
#include "Chain.h"
#include "Errors.h"
#include "JournalBalances.h"
#include "JournalColumns.h"

#include "engine/Table.h"
#include "engine/TextForms.h"
#include "engine/Transaction.h"

#include <optional>

namespace desk {

QString amountRefusal(engine::Money amount)
{
    if (amount <= engine::Money())
        return QStringLiteral("Iznos mora biti veci od nule");
    if (amount > MaxAmount)
        return QStringLiteral("Iznos je prevelik, najvise moze biti ") + MaxAmount.toText();
    return {};
}

QString numberAndLink(engine::Table &journal, qint64 recordId, DocumentKind kind, const QDate &day,
                      const QString &reverses)
{
    const cashbook::GivenNumber given = cashbook::giveNumber(journal, recordId, kind, day, reverses);
    if (!given.linked)
        chain::chainRecord(journal, recordId);
    if (!reverses.isEmpty()) {
        // Who posted the reversal, for its audit entry.
        const QString by =
            journal.runBeside(QStringLiteral("SELECT KORISNIK FROM promet WHERE {id} = ?1"), {recordId})
                .value(0)
                .value(0)
                .toString();
        chain::log(journal, by, QStringLiteral("STORNO"),
                   QStringLiteral("Dokument %1 storniran dokumentom %2").arg(reverses, given.number));
    }
    return given.number;
}

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
    journal.setFieldText(columns::Cashier, p.cashier);
    journal.setFieldText(columns::Day, dates.toText(p.day));
    journal.setFieldText(columns::Time, p.time);
    journal.setFieldText(columns::Reason, p.reason);
    journal.setFieldText(columns::Group, p.group);
    journal.setFieldMoney(columns::DinarsIn, a.dinarsIn);
    journal.setFieldMoney(columns::DinarsOut, a.dinarsOut);
    journal.setFieldMoney(columns::EurosIn, a.eurosIn);
    journal.setFieldMoney(columns::EurosOut, a.eurosOut);
    journal.setFieldMoney(columns::DinarBalance, out.dinars);
    journal.setFieldMoney(columns::EuroBalance, out.euros);
    journal.post();
    out.id = journal.recordId();
    out.number = numberAndLink(journal, out.id, kind, p.day, reverses);
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
