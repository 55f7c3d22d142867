// Reversing a document: a new posting that cancels it, never an edit or a deletion.
#include "Reversal.h"
#include "DayCloses.h"
#include "DocumentNumbers.h"
#include "Posting.h"

#include "engine/EngineError.h"
#include "engine/Table.h"
#include "engine/TextForms.h"
#include "engine/Transaction.h"

namespace desk::cashbook {

QString reversalRefusal(engine::Table &journal, const QString &number, const QDate &day)
{
    const QString shown = QStringLiteral("dd/MM/yyyy");
    // A closed day is corrected by a reversal dated on an open one: only the day the
    // reversal itself would carry must be open.
    if (const std::optional<QDate> last = lastClosedDay(journal); last && day <= *last)
        return QStringLiteral("Dan %1 je zakljucen: storno se ne moze proknjiziti (poslednji "
                              "zakljuceni dan je %2)")
            .arg(day.toString(shown), last->toString(shown));
    const std::optional<BookEntry> original = entry(journal, number);
    if (!original)
        return QStringLiteral("Ne postoji dokument %1").arg(number);
    if (!original->reverses.isEmpty())
        return QStringLiteral("Dokument %1 je storno dokumenta %2 i ne moze se stornirati")
            .arg(number, original->reverses);
    if (const QString earlier = reversalOf(journal, number); !earlier.isEmpty())
        return QStringLiteral("Dokument %1 je vec storniran (%2)").arg(number, earlier);
    return {};
}

BookEntry reverse(engine::Table &journal, const QString &number, const QString &cashier,
                  const QDate &day, const QString &time, const engine::DateTextFormat &dates)
{
    engine::Transaction transaction(journal);
    // Inside the journal's write lock: a second reversal of the same document waits here
    // and then finds the first.
    if (const QString refusal = reversalRefusal(journal, number, day); !refusal.isEmpty())
        throw engine::EngineError(engine::EngineError::Kind::Refused, refusal);
    const BookEntry original = *entry(journal, number);
    Posting p;
    p.cashier = cashier;
    p.day = day;
    p.time = time;
    p.reason = QStringLiteral("STORNO %1: %2").arg(number, original.description);
    p.group = original.group;
    const Amounts opposite{-original.dinarsIn, -original.dinarsOut, -original.eurosIn,
                           -original.eurosOut};
    const Posted stored = writeRecord(journal, p, opposite, kindOf(original), number, dates);
    transaction.commit();

    BookEntry r;
    r.id = stored.id;
    r.number = stored.number;
    r.reverses = number;
    r.date = day;
    r.time = time;
    r.cashier = cashier;
    r.group = p.group;
    r.description = p.reason;
    r.dinarsIn = opposite.dinarsIn;
    r.dinarsOut = opposite.dinarsOut;
    r.eurosIn = opposite.eurosIn;
    r.eurosOut = opposite.eurosOut;
    r.dinarBalance = stored.dinars;
    r.euroBalance = stored.euros;
    return r;
}

} // namespace desk::cashbook
