// TForm1's report page: "CSV", the report's records with their document numbers as a CSV
// file for the accountant's spreadsheet; "CSV SR", the same in the Serbian form.
#include "Unit1.h"

#include "OpenTables.h"

#include "desk/CashBook.h"
#include "desk/CashBookCsv.h"
#include "engine/EngineError.h"
#include "engine/Query.h"
#include "platform/AtomicFile.h"
#include "platform/Dialogs.h"

#include <QDir>
#include <QHash>

#include <optional>

void TForm1::BitBtnCsvClick()
{
    writeReportCsv(false);
}

void TForm1::writeReportCsv(bool serbian)
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

    std::optional<platform::ProgressShown> busy(std::in_place, dialogs,
                                                QStringLiteral("Izvoz u CSV u toku..."));
    QList<desk::BookEntry> chosen;
    desk::rates::RateBook euroRates;
    try {
        OpenTables tables(session, {Table3});
        // The report's statement chooses the records, the journal read with its numbers
        // gives them by their ids.
        Query1->close();
        Query1->sql().clear();
        Query1->sql().append(statement.sql);
        Query1->open();
        const QList<desk::BookEntry> all = desk::cashbook::entries(*Table3);
        euroRates = desk::rates::RateBook::load(*Table3);
        QHash<qint64, qsizetype> byId;
        byId.reserve(all.size());
        for (qsizetype k = 0; k < all.size(); ++k)
            byId.insert(all.at(k).id, k);
        for (int row = 0; row < Query1->recordCount(); ++row) {
            const auto found = byId.constFind(Query1->recordIdAt(row));
            if (found == byId.constEnd())
                throw engine::EngineError(
                    QStringLiteral("Promet se menjao za vreme izvoza, pokusajte ponovo"));
            chosen << all.at(*found);
        }
    } catch (const engine::EngineError &e) {
        busy.reset();
        dialogs.message(e.message());
        return;
    }
    QString error;
    const bool written = platform::writeFileAtomically(
        path,
        desk::csvOf(chosen, serbian ? desk::CsvForm::Serbian : desk::CsvForm::Plain, euroRates),
        &error);
    busy.reset();
    if (!written) {
        dialogs.message(QStringLiteral("CSV NIJE snimljen: ") + error);
        return;
    }
    dialogs.message(QStringLiteral("Snimljeno u %1 (%2 zapisa)").arg(path).arg(chosen.size()));
}
