// dorvanta-admin's exchange rate and deposit commands.
#include "RateCommands.h"
#include "AdminCommands.h"
#include "Secrets.h"

#include "JournalExport.h"

#include "desk/CashBook.h"
#include "desk/Deposits.h"
#include "desk/Errors.h"
#include "desk/PostingDraft.h"
#include "desk/DeskTables.h"
#include "desk/JournalColumns.h"
#include "desk/Posting.h"
#include "desk/Rates.h"
#include "engine/EngineError.h"
#include "engine/Table.h"
#include "engine/TextForms.h"
#include "platform/AtomicFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

#include <algorithm>

namespace admin {

const char RateUsage[] =
    "  rates --import FILE [--force] | --set YYYY-MM-DD CURRENCY RATE [--force] | --show YYYY-MM-DD\n"
    "  deposit --date YYYY-MM-DD --amount AMOUNT --slip NUMBER --admin-code CODE [--group GROUP]\n"
    "  deposits [--date YYYY-MM-DD]\n";

namespace {

const QStringList Commands = {QStringLiteral("rates"), QStringLiteral("deposit"),
                              QStringLiteral("deposits")};

QDate isoDay(const QString &text)
{
    return text.size() == 10 ? QDate::fromString(text, Qt::ISODate) : QDate();
}

QString storeRates(const QString &dir, const QList<desk::rates::Rate> &rates, bool force,
                   QString &summary)
{
    return onJournal(dir, [&](engine::Table &journal) {
        const QList<desk::rates::Change> changed = desk::rates::changes(journal, rates);
        const desk::rates::Stored s =
            desk::rates::store(journal, rates, QStringLiteral("Admin"), force);
        summary = QStringLiteral("Kurseva novih %1, promenjenih %2, istih %3")
                      .arg(s.added)
                      .arg(s.changed)
                      .arg(s.same);
        for (const desk::rates::Change &c : changed)
            summary += QStringLiteral("\nPromenjen: ") + c.text();
    });
}

// The desk's export follows a posting, as the posting page writes it.
QString writeExport(const QString &dir, engine::Table &journal, const QDateTime &now)
{
    const engine::DateTextFormat dates(QStringLiteral("dd/MM/yyyy"));
    const QList<engine::Money> sums = journal.sumMoney({QString(desk::columns::DinarsIn), QString(desk::columns::DinarsOut),
                          QString(desk::columns::EurosIn), QString(desk::columns::EurosOut)});
    journal.first();
    const QByteArray exported = journal_export::buildFile(
        journal, dates, now.date().toString(QStringLiteral("dd/MM/yyyy")),
        (sums.at(0) - sums.at(1)).toText(), (sums.at(2) - sums.at(3)).toText());
    QString reason;
    if (!platform::writeFileAtomically(QDir(dir).filePath(QStringLiteral("podaci.txt")), exported,
                                       &reason))
        return reason;
    return {};
}

} // namespace

std::optional<int> runRateCommand(const toolcli::CommandLine &line)
{
    QCommandLineParser parser;
    const QCommandLineOption dir(QStringLiteral("dir"), QString(), QStringLiteral("DIR"),
                                 QStringLiteral("."));
    const QCommandLineOption import(QStringLiteral("import"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption set(QStringLiteral("set"), QString(), QStringLiteral("YYYY-MM-DD"));
    const QCommandLineOption show(QStringLiteral("show"), QString(), QStringLiteral("YYYY-MM-DD"));
    const QCommandLineOption force(QStringLiteral("force"), QString());
    const QCommandLineOption date(QStringLiteral("date"), QString(), QStringLiteral("YYYY-MM-DD"));
    const QCommandLineOption amount(QStringLiteral("amount"), QString(), QStringLiteral("AMOUNT"));
    const QCommandLineOption slip(QStringLiteral("slip"), QString(), QStringLiteral("NUMBER"));
    const QCommandLineOption group(QStringLiteral("group"), QString(), QStringLiteral("GROUP"));
    const SecretOption adminSecret(QStringLiteral("admin-code"), QString(), QStringLiteral("CODE"));
    const QCommandLineOption &adminCode = adminSecret.option();
    const QCommandLineOption &adminCodeFile = adminSecret.fileOption();
    parser.addOptions({dir, import, set, show, force, date, amount, slip, group, adminCode,
                       adminCodeFile});
    const QStringList arguments = QCoreApplication::arguments();
    const bool ours = std::any_of(arguments.begin() + 1, arguments.end(),
                                  [](const QString &a) { return Commands.contains(a); });
    if (!ours || !parser.parse(arguments))
        return std::nullopt; // another command's, or its parser says what is wrong
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty() || !Commands.contains(positional.first()))
        return std::nullopt;
    const QString command = positional.first();
    const auto only = [&](QList<const QCommandLineOption *> allowed) -> QString {
        if (allowed.contains(&adminCode))
            allowed << &adminCodeFile;
        for (const QCommandLineOption *o :
             {&import, &set, &show, &force, &date, &amount, &slip, &group, &adminCode, &adminCodeFile})
            if (parser.isSet(*o) && !allowed.contains(o))
                return QStringLiteral("--%1 does not go with %2").arg(o->names().first(), command);
        return {};
    };
    const QString data = QDir(parser.value(dir)).absolutePath();
    QTextStream out(stdout);

    if (command == QLatin1String("rates")) {
        const int modes = int(parser.isSet(import)) + int(parser.isSet(set)) + int(parser.isSet(show));
        if (const QString e = only({&import, &set, &show, &force}); !e.isEmpty())
            return line.wrong(e);
        if (modes != 1 || (parser.isSet(show) && parser.isSet(force)))
            return line.wrong(QStringLiteral("rates needs one of --import FILE, --set YYYY-MM-DD "
                                             "CURRENCY RATE or --show YYYY-MM-DD"));
        if (parser.isSet(show)) {
            const QDate day = isoDay(parser.value(show));
            if (!day.isValid() || positional.size() != 1)
                return line.wrong(QStringLiteral("--show takes a day as YYYY-MM-DD"));
            std::optional<desk::rates::Rate> rate;
            if (const QString e = onJournal(data, [&](engine::Table &journal) {
                    rate = desk::rates::RateBook::load(journal).forDay(day);
                });
                !e.isEmpty())
                return line.failed(e);
            if (!rate) {
                out << desk::rates::dayText(day) << " EUR: " << desk::rates::NoRate << "\n";
                return 1;
            }
            out << desk::rates::dayText(day) << " EUR: " << desk::rates::rateText(rate->millionths)
                << " (" << (rate->list.isEmpty() ? QStringLiteral("uneto")
                                                 : QStringLiteral("NBS lista br. ") + rate->list)
                << " od " << desk::rates::dayText(rate->day) << ")\n";
            return 0;
        }
        QList<desk::rates::Rate> rates;
        if (parser.isSet(import)) {
            if (positional.size() != 1)
                return line.wrong(QStringLiteral("rates --import takes one FILE"));
            QFile file(parser.value(import));
            if (!file.open(QIODevice::ReadOnly))
                return line.failed(QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString()));
            try {
                const desk::rates::RateList list = desk::rates::parseList(file.read(4 * 1024 * 1024));
                rates = list.rates;
                out << QStringLiteral("Kursna lista br. %1 od %2 (%3 valuta)\n")
                           .arg(list.number, desk::rates::dayText(list.date))
                           .arg(list.rates.size());
            } catch (const engine::EngineError &e) {
                return line.failed(e.message());
            }
        } else {
            const QDate day = isoDay(parser.value(set));
            const std::optional<qint64> rate =
                positional.size() == 3 ? desk::rates::parseRate(positional.at(2)) : std::nullopt;
            static const QRegularExpression code(QStringLiteral("^[A-Z]{3}$"));
            if (!day.isValid() || positional.size() != 3 || !code.match(positional.at(1)).hasMatch())
                return line.wrong(QStringLiteral("rates --set needs YYYY-MM-DD CURRENCY RATE, "
                                                 "e.g. --set 2026-12-10 EUR 117.1735"));
            if (!rate)
                return line.failed(QStringLiteral("Kurs \"%1\" nije broj (npr. 117.1735), nista "
                                                  "nije snimljeno")
                                       .arg(positional.at(2)));
            rates << desk::rates::Rate{day, positional.at(1), *rate, QString(), QStringLiteral("UNETO")};
        }
        QString summary;
        if (const QString e = storeRates(data, rates, parser.isSet(force), summary); !e.isEmpty())
            return line.failed(parser.isSet(force) ? e : e + QStringLiteral("\n(--force changes them)"));
        out << summary << "\n";
        return 0;
    }

    if (command == QLatin1String("deposits")) {
        if (const QString e = only({&date}); !e.isEmpty())
            return line.wrong(e);
        const QDate day = parser.isSet(date) ? isoDay(parser.value(date)) : QDate::currentDate();
        if (!day.isValid() || positional.size() != 1)
            return line.wrong(QStringLiteral("deposits takes --date YYYY-MM-DD"));
        QList<desk::deposits::Overdue> late;
        if (const QString e = onJournal(data, [&](engine::Table &journal) {
                late = desk::deposits::overdue(journal, day);
            });
            !e.isEmpty())
            return line.failed(e);
        for (const desk::deposits::Overdue &o : late)
            out << o.text() << "\n";
        return late.isEmpty() ? 0 : 1;
    }

    // deposit
    if (const QString e = only({&date, &amount, &slip, &group, &adminCode}); !e.isEmpty())
        return line.wrong(e);
    const QDate day = isoDay(parser.value(date));
    const std::optional<engine::Money> money = engine::Money::tryParse(parser.value(amount));
    if (positional.size() != 1 || !day.isValid() || !parser.isSet(slip) || !money ||
        *money <= engine::Money())
        return line.wrong(QStringLiteral("deposit needs --date YYYY-MM-DD, --amount AMOUNT (above "
                                         "0), --slip NUMBER and --admin-code CODE"));
    QString secretError;
    const std::optional<QString> code =
        adminSecret.read(parser, QStringLiteral("Admin code: "), true, secretError);
    if (!code)
        return adminSecret.isSet(parser) ? line.failed(secretError) : line.wrong(secretError);
    if (QString e; !desk::checkAdminCode(data, *code, &e))
        return line.failed(e);
    const QDateTime now = QDateTime::currentDateTime();
    desk::PostingDraft draft;
    draft.cashier = QStringLiteral("Admin");
    draft.day = day;
    draft.time = now.time();
    draft.currency = desk::Currency::Dinars;
    draft.direction = desk::Direction::Out;
    draft.amountText = parser.value(amount);
    draft.reason = desk::deposits::reasonFor(parser.value(slip));
    draft.group = parser.isSet(group) ? parser.value(group) : desk::deposits::Kind;
    const desk::Posting p = desk::toPosting(draft, *money);
    if (const QString wrong = desk::deposits::refusal(p); !wrong.isEmpty())
        return line.failed(wrong);
    bool stored = false;
    QString exportError;
    if (const QString e = onJournal(data, [&](engine::Table &journal) {
            // The posting page's rules; a tool asks nobody, so a question is no refusal.
            const desk::PostingAnswer answer =
                desk::judge(journal, draft, engine::DateTextFormat(QStringLiteral("dd/MM/yyyy")));
            if (answer.refused())
                desk::refuse(answer.text);
            const desk::Posted posted =
                desk::post(journal, p, engine::DateTextFormat(QStringLiteral("dd/MM/yyyy")));
            stored = true;
            out << QStringLiteral("Polog na racun %1 DIN dokumentom %2 (%3)\n")
                       .arg(money->toText(), posted.number, p.reason);
            exportError = writeExport(data, journal, now);
        });
        !e.isEmpty())
        return line.failed(stored ? QStringLiteral("the deposit is stored, but podaci.txt was not written: ") + e : e);
    if (!exportError.isEmpty())
        return line.failed(QStringLiteral("the deposit is stored, but podaci.txt was not written: ") + exportError);
    out << "Izvoz zapisan: podaci.txt\n";
    return 0;
}

} // namespace admin
