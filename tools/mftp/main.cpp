// mftp: a command-line FTP client on the TMFtp component, for administrators and for
// measuring the component against other clients. See MftpOptions::usage().

#include "MftpOptions.h"
#include "MftpRunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

using namespace ftp;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    MftpOptions options;
    QString error;
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        std::fputs(MftpOptions::usage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!MftpOptions::parse(args, options, error)) {
        std::fprintf(stderr, "mftp: %s\n%s", error.toLocal8Bit().constData(),
                     MftpOptions::usage().toLocal8Bit().constData());
        return 2;
    }
    if (!options.hasPassword) {
        QString path = qEnvironmentVariable("NETRC");
        if (path.isEmpty())
            path = QDir::home().filePath(QStringLiteral(".netrc"));
        QFile netrc(path);
        if (netrc.open(QIODevice::ReadOnly))
            options.applyNetrc(QString::fromLocal8Bit(netrc.readAll()));
    }
    MftpRunner runner(options);
    return runner.run();
}
