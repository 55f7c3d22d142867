// journal-fill DIR [COUNT] [--cashiers N] [--seed N] [--from YYYY-MM-DD] [--to YYYY-MM-DD]
// Adds COUNT postings (default 100000) to DIR/podaci/promet.db, creating the tables when they
// are missing (see JournalFiller).

#include "testsupport/JournalFiller.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    testsupport::FillOptions options;
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
            err << "usage: journal-fill DIR [COUNT] [--cashiers N] [--seed N] [--from YYYY-MM-DD] "
                   "[--to YYYY-MM-DD]\n";
            return 2;
        }
    }
    if (options.directory.isEmpty() || options.postings < 0 || options.cashiers < 1) {
        err << "usage: journal-fill DIR [COUNT] [--cashiers N] [--seed N] [--from YYYY-MM-DD] "
               "[--to YYYY-MM-DD]\n";
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
