// journal-fill DIR [COUNT] [--cashiers N] [--seed N] [--from YYYY-MM-DD] [--to YYYY-MM-DD]
// Adds COUNT postings (default 100000) to DIR/podaci/promet.db, creating the tables when they
// are missing (see JournalFiller). --help says what it makes and exits with 0.

#include "testsupport/JournalFiller.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

namespace {

const char Usage[] = "usage: journal-fill DIR [COUNT] [--cashiers N] [--seed N] "
                     "[--from YYYY-MM-DD] [--to YYYY-MM-DD]\n";

void help(QTextStream &out, const testsupport::FillOptions &defaults)
{
    using testsupport::JournalFiller;
    const auto cashier = [](int i) {
        return JournalFiller::cashierCode(i) + QLatin1Char(' ') + JournalFiller::cashierName(i);
    };
    out << Usage << "\n"
        << "Adds COUNT postings (default " << defaults.postings
        << ") to DIR/podaci/promet.db: in date order from\n"
        << "--from (default " << defaults.firstDay.toString(Qt::ISODate) << ") to --to (default "
        << defaults.lastDay.toString(Qt::ISODate) << "), in dinars and euros, in and out,\n"
        << "with their running balances. The same --seed (default " << defaults.seed
        << ") makes the same journal.\n\n"
        << "A DIR without tables is first made as dorvanta-init makes it (Admin, code 12345),\n"
        << "and gets the cashiers N = --cashiers (default " << defaults.cashiers << ", at most "
        << JournalFiller::MaxCashiers << ") with the login\n"
        << "codes " << JournalFiller::cashierCode(0) << " to 100+N: " << cashier(0) << ", "
        << cashier(1) << ", " << cashier(2) << ", ...\n"
        << "A DIR with tables gets no users; its new postings carry the same cashiers' names.\n";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    testsupport::FillOptions options;
    if (app.arguments().contains(QLatin1String("--help")) ||
        app.arguments().contains(QLatin1String("-h"))) {
        help(out, options);
        return 0;
    }
    const QStringList args = app.arguments().mid(1);
    bool countSeen = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        const bool hasValue = i + 1 < args.size();
        bool ok = true;
        if (a == QLatin1String("--cashiers") && hasValue)
            options.cashiers = args[++i].toInt(&ok);
        else if (a == QLatin1String("--seed") && hasValue)
            options.seed = args[++i].toUInt(&ok);
        else if (a == QLatin1String("--from") && hasValue)
            ok = (options.firstDay = QDate::fromString(args[++i], Qt::ISODate)).isValid();
        else if (a == QLatin1String("--to") && hasValue)
            ok = (options.lastDay = QDate::fromString(args[++i], Qt::ISODate)).isValid();
        else if (!a.startsWith(QLatin1Char('-')) && options.directory.isEmpty())
            options.directory = a;
        else if (!a.startsWith(QLatin1Char('-')) && !countSeen)
            options.postings = a.toInt(&ok), countSeen = true;
        else
            ok = false;
        if (!ok) {
            err << Usage << "(--help for more)\n";
            return 2;
        }
    }
    if (options.directory.isEmpty() || options.postings < 0 || options.cashiers < 1 ||
        options.cashiers > testsupport::JournalFiller::MaxCashiers) {
        err << Usage << "(--help for more)\n";
        return 2;
    }
    QElapsedTimer timer;
    timer.start();
    const QString error = testsupport::JournalFiller::fill(options);
    if (!error.isEmpty()) {
        err << "journal-fill: " << error << "\n";
        return 1;
    }
    out << "Added " << options.postings << " postings to " << options.directory
        << "/podaci/promet.db in " << timer.elapsed() << " ms\n";
    return 0;
}
