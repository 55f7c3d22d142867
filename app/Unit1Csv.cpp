// TForm1's report page: "CSV", the report's records with their document numbers as a CSV
// file for the accountant's spreadsheet.
#include "Unit1.h"

#include "OpenTables.h"

#include "desk/CashBook.h"
#include "desk/CashBookCsv.h"
#include "engine/EngineError.h"
#include "engine/Query.h"
#include "platform/AtomicFile.h"
#include "platform/Dialogs.h"

#include <QDir>

namespace {

// A record's stored values as one text, to find the report's rows in the whole journal.
QString recordKey(const desk::BookEntry &e)
{
    return QStringList{e.cashier, e.date.toString(Qt::ISODate), e.time, e.description, e.group,
                       e.dinarsIn.toText(), e.dinarsOut.toText(), e.eurosIn.toText(),
                       e.eurosOut.toText(), e.dinarBalance.toText(), e.euroBalance.toText()}
        .join(QChar(0x1f));
}

} // namespace

void TForm1::BitBtnCsvClick()
{
    const ReportStatement statement = buildReportStatement(reportCriteria());
    if (!statement.complete) {
        dialogs.message(statement.missing); // as the report says it
        return;
    }
    const std::optional<QString> name =
        dialogs.prompt(QStringLiteral("CSV"), QStringLiteral("Ime CSV fajla:"),
                       QStringLiteral("izvestaj.csv"));
    if (!name || name->trimmed().isEmpty())
        return;
    const QString path = QDir(startDir).absoluteFilePath(name->trimmed());

    QList<desk::BookEntry> chosen;
    try {
        OpenTables tables(session, {Table3});
        // The report's statement chooses the records; the journal read in the same stored
        // order gives their numbers. Equal records are chosen alike, so the first unmatched
        // equal one is the right one.
        Query1->close();
        Query1->sql().clear();
        Query1->sql().append(statement.sql);
        Query1->open();
        const QList<desk::BookEntry> all = desk::cashbook::entries(*Table3);
        const char *const fields[] = {"KORISNIK", "DATUM", "VREME", "OPIS", "GRUPA", "ULAZDIN",
                                      "IZLAZDIN", "ULAZEUR", "IZLAZEUR", "STANJEDIN", "STANJEEUR"};
        QList<int> columns;
        for (const char *f : fields)
            columns << Query1->fieldIndex(QString::fromLatin1(f));
        qsizetype next = 0;
        for (int row = 0; row < Query1->recordCount(); ++row) {
            desk::BookEntry e;
            e.cashier = Query1->textAt(row, columns[0]);
            e.date = session.dateFormat().parse(Query1->textAt(row, columns[1])).value_or(QDate());
            e.time = Query1->textAt(row, columns[2]);
            e.description = Query1->textAt(row, columns[3]);
            e.group = Query1->textAt(row, columns[4]);
            e.dinarsIn = Query1->moneyAt(row, columns[5]);
            e.dinarsOut = Query1->moneyAt(row, columns[6]);
            e.eurosIn = Query1->moneyAt(row, columns[7]);
            e.eurosOut = Query1->moneyAt(row, columns[8]);
            e.dinarBalance = Query1->moneyAt(row, columns[9]);
            e.euroBalance = Query1->moneyAt(row, columns[10]);
            const QString key = recordKey(e);
            while (next < all.size() && recordKey(all.at(next)) != key)
                ++next;
            if (next == all.size())
                throw engine::EngineError(
                    QStringLiteral("Promet se menjao za vreme izvoza, pokusajte ponovo"));
            chosen << all.at(next++);
        }
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
        return;
    }
    QString error;
    if (!platform::writeFileAtomically(path, desk::csvOf(chosen), &error)) {
        dialogs.message(QStringLiteral("CSV NIJE snimljen: ") + error);
        return;
    }
    dialogs.message(QStringLiteral("Snimljeno u %1 (%2 zapisa)").arg(path).arg(chosen.size()));
}
