#include "AdminCommands.h"

#include "desk/DeskTables.h"
#include "desk/CashBook.h"
#include "desk/CashBookCsv.h"
#include "desk/DayReport.h"
#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "engine/TextForms.h"
#include "report/Output.h"

#include <QDir>

namespace admin {

namespace {

// Runs `work` on the data directory's journal, its cash book made ready first; the engine's
// text of a failure is returned.
template<typename Work>
QString onJournal(const QString &dir, Work work)
{
    engine::Session session;
    session.setBaseDir(dir);
    session.setShortDateFormat(QStringLiteral("dd/MM/yyyy")); // whatever the system's form
    session.setPassword(desk::tablePassword());
    try {
        engine::Table journal(session, QStringLiteral("podaci/promet.db"));
        journal.open();
        desk::cashbook::prepare(journal);
        work(journal);
    } catch (const engine::EngineError &e) {
        return e.message();
    }
    return {};
}

} // namespace

AdminCommands::AdminCommands(const QString &dir) : m_dir(QDir(dir).absolutePath()) {}

QString AdminCommands::checkAdminCode(const QString &code)
{
    engine::Session session;
    session.setBaseDir(m_dir);
    session.setPassword(desk::tablePassword());
    try {
        engine::Table users(session, QStringLiteral("podaci/korisnici.db"));
        users.open();
        for (users.first(); !users.eof(); users.next()) {
            if (users.fieldText(QStringLiteral("IMEIPREZIME")) == QLatin1String("Admin") &&
                users.fieldText(QStringLiteral("SIFRA")) == code)
                return {};
        }
    } catch (const engine::EngineError &e) {
        return e.message();
    }
    return QStringLiteral("the admin code is not right, nothing changed");
}

QString AdminCommands::exportCsv(std::optional<QDate> from, std::optional<QDate> to, QByteArray &csv)
{
    return onJournal(m_dir, [&](engine::Table &journal) {
        csv = desk::csvOf(desk::cashbook::entries(journal, from, to));
    });
}

QString AdminCommands::closeDay(const QDate &day, const QDateTime &now, QString &summary)
{
    return onJournal(m_dir, [&](engine::Table &journal) {
        const desk::DayClose c =
            desk::cashbook::closeDay(journal, day, QStringLiteral("Admin"), now);
        summary = QStringLiteral("Dan %1 zakljucen, izvestaj br. %2/%3: stanje %4 DIN, %5 EUR")
                      .arg(day.toString(QStringLiteral("dd/MM/yyyy")))
                      .arg(c.number)
                      .arg(day.year())
                      .arg(c.dinars.closing().toText(), c.euros.closing().toText());
    });
}

QString AdminCommands::reverse(const QString &number, const QDateTime &now, QString &summary)
{
    return onJournal(m_dir, [&](engine::Table &journal) {
        const desk::BookEntry r = desk::cashbook::reverse(
            journal, number, QStringLiteral("Admin"), now.date(), engine::timeText(now.time()),
            engine::DateTextFormat(QStringLiteral("dd/MM/yyyy")));
        summary = QStringLiteral("Dokument %1 je storniran dokumentom %2").arg(number, r.number);
    });
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
            document = desk::dayReportDocument(desk::cashbook::dayBook(journal, day), day,
                                               currencies, now);
        });
        !e.isEmpty())
        return e;
    QString error;
    if (!report::writePdf(*document, pdf, &error))
        return QStringLiteral("cannot write %1: %2").arg(pdf, error);
    return {};
}

} // namespace admin
