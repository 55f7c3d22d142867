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
    if (!MftpOptions::parse(QCoreApplication::arguments().mid(1), options, error)) {
        std::fprintf(stderr,
                     "mftp: %s\nusage: mftp put LOCAL URL [options] | mftp get URL LOCAL "
                     "[options]  (--help for more)\n",
                     error.toLocal8Bit().constData());
        return 2;
    }
    if (options.help) {
        std::fputs(MftpOptions::usage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("mftp %s\n", DORVANTA_VERSION);
        return 0;
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
