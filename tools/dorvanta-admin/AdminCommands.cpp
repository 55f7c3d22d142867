// The work of dorvanta-admin's journal commands on a data directory.
#include "AdminCommands.h"

#include "desk/DeskTables.h"
#include "desk/JournalColumns.h"
#include "BackupFiles.h"
#include "JournalExport.h"
#include "desk/CashBook.h"
#include "desk/CashBookCsv.h"
#include "desk/CashCount.h"
#include "desk/DeskSettings.h"
#include "desk/OffsiteRestore.h"
#include "CashBookPrints.h"
#include "desk/JournalChain.h"
#include "desk/Offsite.h"
#include "desk/Restore.h"
#include "desk/SigningKey.h"
#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "engine/TableStores.h"
#include "engine/TextForms.h"
#include "platform/AtomicFile.h"
#include "report/Output.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <functional>

namespace admin {

QString onJournal(const QString &dir, const std::function<void(engine::Table &)> &work)
{
    QString error;
    if (!desk::inJournalOf(
            dir,
            [&](engine::Table &journal) {
                desk::cashbook::prepare(journal);
                work(journal);
            },
            &error))
        return error;
    return {};
}

namespace {

// The desk's export follows every change of the journal, as after a posting; its heading
// carries the journal's balances, as the posting page shows them.
QByteArray exportOf(engine::Table &journal, const engine::DateTextFormat &dates, const QDateTime &now)
{
    const QList<engine::Money> sums = journal.sumMoney({QString(desk::columns::DinarsIn), QString(desk::columns::DinarsOut),
                          QString(desk::columns::EurosIn), QString(desk::columns::EurosOut)});
    journal.first();
    return journal_export::buildFile(journal, dates, now.date().toString(QStringLiteral("dd/MM/yyyy")),
                                     (sums.at(0) - sums.at(1)).toText(),
                                     (sums.at(2) - sums.at(3)).toText());
}

// Writes the desk's export podaci.txt of `dir` after a change of the journal that is stored
// already: the failure is `stored` followed by the reason; the summary then names the file.
QString writeExport(const QString &dir, const QByteArray &exported, const QString &stored,
                    QString &summary)
{
    QString reason;
    if (!platform::writeFileAtomically(QDir(dir).filePath(QStringLiteral("podaci.txt")), exported,
                                       &reason))
        return stored + reason;
    summary += QStringLiteral("\nIzvoz zapisan: podaci.txt");
    return {};
}

} // namespace

AdminCommands::AdminCommands(const QString &dir) : m_dir(QDir(dir).absolutePath()) {}

QString AdminCommands::checkAdminCode(const QString &code)
{
    QString reason;
    return desk::checkAdminCode(m_dir, code, &reason) ? QString() : reason;
}

QString AdminCommands::exportCsv(std::optional<QDate> from, std::optional<QDate> to,
                                 const std::function<bool(QByteArrayView)> &write,
                                 const QString &writeError, bool serbian)
{
    bool written = true;
    const QString error = onJournal(m_dir, [&](engine::Table &journal) {
        written = desk::writeCsv(journal, from, to, write,
                                 serbian ? desk::CsvForm::Serbian : desk::CsvForm::Plain);
    });
    return !error.isEmpty() || written ? error : writeError;
}

QString AdminCommands::closeDay(const QDate &day, const QDateTime &now, QString &summary)
{
    // The cash book made ready first, as for every command.
    if (const QString e = onJournal(m_dir, [](engine::Table &) {}); !e.isEmpty())
        return e;
    // The close writes a backup too, so that the newest backup holds every closed day.
    const QString name = backup_files::backupFileName(now.toString(QStringLiteral("dd/MM/yyyy")),
                                                      now.toString(QStringLiteral("HH:mm:ss")));
    engine::Session session;
    session.setBaseDir(m_dir);
    session.setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
    session.setPassword(desk::tablePassword());
    QString backupError;
    desk::DayClose c;
    try {
        c = desk::cashbook::closeDayAndBackUp(session, day, QStringLiteral("Admin"), now, name,
                                              backupError);
    } catch (const engine::EngineError &e) {
        return e.message();
    }
    summary = QStringLiteral("Dan %1 zakljucen, izvestaj br. %2/%3: stanje %4 DIN, %5 EUR")
                  .arg(day.toString(QStringLiteral("dd/MM/yyyy")))
                  .arg(c.number)
                  .arg(day.year())
                  .arg(c.dinars.closing().toText(), c.euros.closing().toText());
    if (!backupError.isEmpty())
        return QStringLiteral("the day is closed, but its backup was not written: ") + backupError;
    summary += QStringLiteral("\nSnimljeno: podaci/") + name;
    // A failed off-site copy leaves the close and its backup standing: the summary says why.
    QString sent;
    desk::offsite::send(m_dir, name, now, &sent);
    if (!sent.isEmpty())
        summary += u'\n' + sent;
    return {};
}

QString AdminCommands::reverse(const QString &number, const QDateTime &now, QString &summary)
{
    const engine::DateTextFormat dates(QStringLiteral("dd/MM/yyyy"));
    bool stored = false;
    QByteArray exported;
    const QString error = onJournal(m_dir, [&](engine::Table &journal) {
        const desk::BookEntry r = desk::cashbook::reverse(
            journal, number, QStringLiteral("Admin"), now.date(), engine::timeText(now.time()),
            dates);
        stored = true;
        summary = QStringLiteral("Dokument %1 je storniran dokumentom %2").arg(number, r.number);
        exported = exportOf(journal, dates, now);
    });
    const QString notExported = QStringLiteral("the reversal is stored, but podaci.txt was not written: ");
    if (!error.isEmpty())
        return stored ? notExported + error : error;
    return writeExport(m_dir, exported, notExported, summary);
}

QString AdminCommands::count(const QDate &day, const QString &currency, const QString &pieces,
                             const QDateTime &now, QString &summary)
{
    const desk::Currency c =
        currency == QLatin1String("EUR") ? desk::Currency::Euros : desk::Currency::Dinars;
    const engine::DateTextFormat dates(QStringLiteral("dd/MM/yyyy"));
    QList<desk::cashcount::Pieces> counted;
    try {
        counted = desk::cashcount::parse(pieces, c);
    } catch (const engine::EngineError &e) {
        return e.message();
    }
    bool posted = false;
    QByteArray exported;
    const QString error = onJournal(m_dir, [&](engine::Table &journal) {
        const desk::cashcount::Count count = desk::cashcount::record(
            journal, day, c, counted, QStringLiteral("Admin"), now, dates);
        summary = QStringLiteral("Popis %1 za %2: prebrojano %3, knjizno stanje %4 %1")
                      .arg(currency, day.toString(QStringLiteral("dd/MM/yyyy")),
                           count.counted.toText(), count.book.toText());
        if (count.document.isEmpty()) {
            summary += QStringLiteral(", bez razlike");
            return;
        }
        posted = true;
        const engine::Money difference = count.difference();
        summary += QStringLiteral(", %1 %2 %3 dokumentom %4")
                       .arg(difference < engine::Money() ? QStringLiteral("manjak")
                                                         : QStringLiteral("visak"),
                            (difference < engine::Money() ? -difference : difference).toText(),
                            currency, count.document);
        exported = exportOf(journal, dates, now);
    });
    const QString notExported = QStringLiteral("the count is stored, but podaci.txt was not written: ");
    if (!error.isEmpty())
        return posted ? notExported + error : error;
    if (!posted)
        return {};
    return writeExport(m_dir, exported, notExported, summary);
}

QString AdminCommands::limit(std::optional<engine::Money> dinars,
                             std::optional<engine::Money> euros, QString &summary)
{
    return onJournal(m_dir, [&](engine::Table &journal) {
        desk::settings::Shared shared = desk::settings::read(journal);
        if (dinars)
            shared.limitDinars = *dinars;
        if (euros)
            shared.limitEuros = *euros;
        desk::settings::write(journal, shared, QStringLiteral("Admin"));
        const auto shown = [](engine::Money m) {
            return m.isZero() ? QStringLiteral("bez maksimuma") : m.toText();
        };
        summary = QStringLiteral("Blagajnicki maksimum: %1 DIN, %2 EUR")
                      .arg(shown(shared.limitDinars), shown(shared.limitEuros));
    });
}

QString AdminCommands::backup(const QDateTime &now, int keep, QString &summary)
{
    const QString name = backup_files::backupFileName(now.toString(QStringLiteral("dd/MM/yyyy")),
                                                      now.toString(QStringLiteral("HH:mm:ss")));
    const QDir data(backup_files::dataDirectory(m_dir));
    engine::Session session;
    session.setBaseDir(m_dir);
    session.setPassword(desk::tablePassword());
    try {
        desk::cashbook::backupJournal(session, name);
    } catch (const engine::EngineError &e) {
        return e.message();
    }
    summary = QStringLiteral("Snimljeno: podaci/") + name;
    // A failed off-site copy leaves the backup standing: the summary says why.
    QString sent;
    desk::offsite::send(m_dir, name, now, &sent);
    if (!sent.isEmpty())
        summary += u'\n' + sent;
    if (keep <= 0)
        return {};
    // The program's backups by the moment their names tell (name order is not time order).
    static const QRegularExpression pattern(
        QStringLiteral("^bck-(\\d\\d)-(\\d\\d)-(\\d\\d)-(\\d\\d)-(\\d\\d)-(\\d\\d)\\.db$"));
    QList<std::pair<QString, QString>> backups; // moment "YYMMDDhhmmss", name
    for (const QString &file : data.entryList(QDir::Files)) {
        const QRegularExpressionMatch m = pattern.match(file);
        if (m.hasMatch())
            backups.append({m.captured(3) + m.captured(2) + m.captured(1) + m.captured(4) +
                                m.captured(5) + m.captured(6),
                            file});
    }
    std::sort(backups.begin(), backups.end(), std::greater<>());
    for (qsizetype i = keep; i < backups.size(); ++i) {
        if (!QFile::remove(data.filePath(backups.at(i).second)))
            return QStringLiteral("cannot remove the old backup %1").arg(backups.at(i).second);
        summary += QStringLiteral("\nObrisano: podaci/") + backups.at(i).second;
    }
    return {};
}

QString AdminCommands::restore(const QString &name, const QDateTime &now, bool changeClosedDays,
                               QString &summary)
{
    try {
        const desk::restore::Preview preview = desk::restore::preview(m_dir, name);
        QStringList days;
        for (const desk::cashbook::ClosedDayDrift &d : preview.closedDays)
            days += d.lines();
        if (!days.isEmpty() && !changeClosedDays)
            return QStringLiteral("%1 would change closed days, nothing changed (give "
                                  "--change-closed-days to restore it all the same):\n")
                       .arg(name) +
                   days.join(u'\n');
        const QString archive =
            QStringLiteral("bck-arhiva-") +
            backup_files::backupFileName(now.toString(QStringLiteral("dd/MM/yyyy")),
                                         now.toString(QStringLiteral("HH:mm:ss")))
                .mid(4);
        const desk::restore::Outcome outcome =
            desk::restore::run(m_dir, name, QStringLiteral("Admin"), archive, preview.closedDays);
        summary = QStringLiteral("Ucitan back-up podaci/%1").arg(name);
        summary += outcome.archive.isEmpty()
                       ? QStringLiteral("\nArhiva NIJE snimljena: ") + outcome.archiveReason
                       : QStringLiteral("\nArhiva: podaci/") + outcome.archive;
        if (!days.isEmpty())
            summary += QStringLiteral("\nPromenjeni zakljuceni dani:\n") + days.join(u'\n');
        if (!outcome.bookError.isEmpty())
            return QStringLiteral("the records are restored, but the closes and numbers were not "
                                  "carried over: ") +
                   outcome.bookError;
    } catch (const engine::EngineError &e) {
        return e.message();
    }
    return {};
}

QString AdminCommands::dayReport(const QDate &day, const QString &currency, const QDateTime &now,
                                 const QString &pdf)
{
    const report::DayCurrencies currencies = currency == QLatin1String("DIN")
                                                 ? report::DayCurrencies::Dinars
                                             : currency == QLatin1String("EUR")
                                                 ? report::DayCurrencies::Euros
                                                 : report::DayCurrencies::Both;
    std::optional<report::Document> document;
    if (const QString e = onJournal(m_dir, [&](engine::Table &journal) {
            document = cash_prints::dayReport(desk::cashbook::dayBook(journal, day), day,
                                               currencies, now, desk::signing::reportedFingerprint(m_dir, day),
                                               desk::cashcount::ofDay(journal, day),
                                               desk::settings::read(journal),
                                               desk::rates::RateBook::load(journal),
                                               desk::deposits::overdue(journal, day));
        });
        !e.isEmpty())
        return e;
    QString error;
    if (!report::writePdf(*document, pdf, &error))
        return QStringLiteral("cannot write %1: %2").arg(pdf, error);
    return {};
}

QString AdminCommands::voucher(const QString &number, const QDateTime &now, const QString &pdf)
{
    std::optional<report::Document> document;
    if (const QString e = onJournal(m_dir, [&](engine::Table &journal) {
            const std::optional<desk::BookEntry> entry = desk::cashbook::entry(journal, number);
            if (!entry)
                throw engine::EngineError(QStringLiteral("Ne postoji dokument %1").arg(number));
            document = cash_prints::voucher(*entry, now, desk::settings::read(journal),
                                            desk::rates::RateBook::load(journal));
        });
        !e.isEmpty())
        return e;
    QString error;
    if (!report::writePdf(*document, pdf, &error))
        return QStringLiteral("cannot write %1: %2").arg(pdf, error);
    return {};
}

int AdminCommands::verify(const QString &file, const QByteArray &head, QString &report)
{
    // Read only: the journal is not made ready first, so what is checked is what is stored.
    desk::chain::Verdict verdict;
    QStringList notes;
    if (file.isEmpty()) {
        // The off-site copies' heads anchor the journal's end beside the day closes': a journal
        // cut short after the newest copy shows.
        QList<desk::chain::Anchor> anchors;
        try {
            anchors = desk::offsite::copyAnchors(m_dir, notes);
        } catch (const engine::EngineError &e) {
            notes << QStringLiteral("kopije van lokacije nisu proverene: %1").arg(e.message());
        }
        verdict = desk::chain::verifyDirectory(m_dir, desk::tablePassword(), head, anchors);
    } else {
        const QFileInfo info(file);
        engine::Session session;
        session.setBaseDir(info.absolutePath());
        session.setPassword(desk::tablePassword());
        try {
            engine::Table backup(session, info.fileName());
            backup.open();
            verdict = desk::chain::verify(backup, head);
        } catch (const engine::EngineError &e) {
            verdict.readable = false;
            verdict.findings << desk::chain::Finding{0, {}, e.message()};
        }
    }
    report = verdict.text();
    for (const QString &note : notes)
        report += QStringLiteral("\nNapomena: ") + note;
    if (const QString key = desk::signing::fingerprintOf(m_dir); file.isEmpty() && !key.isEmpty())
        report += QStringLiteral("\nOtisak kljuca za potpis: ") + key;
    if (!head.isEmpty() && verdict.readable)
        report += verdict.headFound ? QStringLiteral("\nGlava %1 je deo istorije").arg(QString::fromLatin1(head))
                                    : QStringLiteral("\nGlava %1 NIJE deo istorije").arg(QString::fromLatin1(head));
    if (!verdict.readable)
        return 2;
    return verdict.ok() && (head.isEmpty() || verdict.headFound) ? 0 : 1;
}

} // namespace admin
