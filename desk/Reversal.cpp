// Reversing a document: a new posting that cancels it, never an edit or a deletion.
#include "CashBook.h"

#include "engine/EngineError.h"
#include "engine/Table.h"
#include "engine/TextForms.h"

namespace desk::cashbook {

BookEntry reverse(engine::Table &journal, const QString &number, const QString &cashier,
                  const QDate &day, const QString &time, const engine::DateTextFormat &dates)
{
    using engine::EngineError;
    const QString shown = QStringLiteral("dd/MM/yyyy");
    journal.startTransaction();
    try {
        // Inside the journal's write lock: a second reversal of the same document waits here
        // and then finds the first.
        const std::optional<BookEntry> original = entry(journal, number);
        if (!original)
            throw EngineError(QStringLiteral("Ne postoji dokument %1").arg(number));
        if (!original->reverses.isEmpty())
            throw EngineError(QStringLiteral("Dokument %1 je storno dokumenta %2 i ne moze se "
                                             "stornirati")
                                  .arg(number, original->reverses));
        if (const QString earlier = reversalOf(journal, number); !earlier.isEmpty())
            throw EngineError(
                QStringLiteral("Dokument %1 je vec storniran (%2)").arg(number, earlier));
        if (const std::optional<QDate> last = lastClosedDay(journal);
            last && original->date <= *last)
            throw EngineError(QStringLiteral("Dokument %1 je iz zakljucenog dana %2: ne moze se "
                                             "stornirati")
                                  .arg(number, original->date.toString(shown)));

        const QList<engine::Money> sums = journal.sumMoney(
            {QStringLiteral("ULAZDIN"), QStringLiteral("IZLAZDIN"), QStringLiteral("ULAZEUR"),
             QStringLiteral("IZLAZEUR")});
        BookEntry r;
        r.reverses = number;
        r.date = day;
        r.time = time;
        r.cashier = cashier;
        r.group = original->group;
        r.description = QStringLiteral("STORNO %1: %2").arg(number, original->description);
        r.dinarsIn = -original->dinarsIn;
        r.dinarsOut = -original->dinarsOut;
        r.eurosIn = -original->eurosIn;
        r.eurosOut = -original->eurosOut;
        r.dinarBalance = sums.at(0) - sums.at(1) + r.dinarsIn - r.dinarsOut;
        r.euroBalance = sums.at(2) - sums.at(3) + r.eurosIn - r.eurosOut;

        journal.insert();
        journal.setFieldText(QStringLiteral("KORISNIK"), r.cashier);
        journal.setFieldText(QStringLiteral("DATUM"), dates.toText(day));
        journal.setFieldText(QStringLiteral("VREME"), r.time);
        journal.setFieldText(QStringLiteral("OPIS"), r.description);
        journal.setFieldText(QStringLiteral("GRUPA"), r.group);
        journal.setFieldMoney(QStringLiteral("ULAZDIN"), r.dinarsIn);
        journal.setFieldMoney(QStringLiteral("IZLAZDIN"), r.dinarsOut);
        journal.setFieldMoney(QStringLiteral("ULAZEUR"), r.eurosIn);
        journal.setFieldMoney(QStringLiteral("IZLAZEUR"), r.eurosOut);
        journal.setFieldMoney(QStringLiteral("STANJEDIN"), r.dinarBalance);
        journal.setFieldMoney(QStringLiteral("STANJEEUR"), r.euroBalance);
        journal.post();
        r.id = journal.recordId();
        r.number = numberRecord(journal, r.id, kindOf(*original), day, number);
        journal.commit();
        return r;
    } catch (...) {
        try {
            journal.cancel();
            journal.rollback();
        } catch (...) {
        }
        throw;
    }
}

QString numberOf(engine::Table &journal, qint64 id)
{
    const QList<QVariantList> rows = journal.runBeside(
        QStringLiteral("SELECT BROJ FROM dorvanta_dokument WHERE ID = ?1"), {id});
    return rows.isEmpty() ? QString() : rows.front().value(0).toString();
}

} // namespace desk::cashbook
