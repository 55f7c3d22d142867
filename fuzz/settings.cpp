// The two small option files of the data directory: podaci\ftpop.txt (the FTP upload's
// settings, Windows-1250 lines) and podaci\baza.txt (the server's URI and its answer time-out).
// The input is the file. FTP settings read from a file are written back and read again
// unchanged; the URI comes back without its password wherever the program shows it, and with
// exactly the password given where it adds one; the time-out is always one the program allows.

#include "FuzzSupport.h"

#include "app/FtpSettings.h"
#include "engine/EngineError.h"
#include "engine/ServerLink.h"
#include "engine/TableStores.h"
#include "platform/TextFiles.h"

#include <QFile>

#include <libpq-fe.h>

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        fuzz::fail("cannot write", path);
}

// The password libpq reads from `uri`; nullopt when libpq does not take the URI.
std::optional<QString> passwordOf(const QString &uri)
{
    char *error = nullptr;
    PQconninfoOption *options = PQconninfoParse(uri.toUtf8().constData(), &error);
    PQfreemem(error);
    if (!options)
        return std::nullopt;
    QString password;
    for (PQconninfoOption *o = options; o->keyword; ++o)
        if (qstrcmp(o->keyword, "password") == 0 && o->val)
            password = QString::fromUtf8(o->val);
    PQconninfoFree(options);
    return password;
}

bool same(const FtpSettings &a, const FtpSettings &b)
{
    return a.server == b.server && a.user == b.user && a.password == b.password && a.tls == b.tls
           && a.pinnedKey == b.pinnedKey && a.passive == b.passive && a.port == b.port
           && a.remotePath == b.remotePath;
}

void ftpOptions(const QByteArray &file)
{
    const QString path = fuzz::workDir() + QStringLiteral("/ftpop.txt");
    writeFile(path, file);
    const std::optional<QStringList> lines = platform::loadLines(path);
    if (!lines || lines->value(0) != QLatin1String("1") || lines->size() < 4)
        return;
    const FtpSettings read = FtpSettings::fromLines(*lines);
    fuzz::check(read.port >= 1, "port 0 from ftpop.txt");
    for (const QString &field : {read.server, read.user, read.password, read.pinnedKey, read.remotePath})
        if (!platform::fitsWindows1250Line(field))
            return; // would not be written back as such
    if (!platform::saveLines(path, read.toLines()))
        fuzz::fail("cannot write", path);
    const std::optional<QStringList> again = platform::loadLines(path);
    fuzz::check(again && same(FtpSettings::fromLines(*again), read),
                "FTP settings change when written back:", lines->join(u'|'));
}

void serverFile(const QByteArray &file)
{
    static const bool placed = (engine::setServerTables({QStringLiteral("promet")}), true);
    (void)placed;
    const QString path = fuzz::workDir() + QStringLiteral("/baza.txt");
    writeFile(path, file);
    const int seconds = engine::serverlink::answerSecondsFrom(path);
    fuzz::check(seconds >= 3 && seconds <= 60, "time-out out of range from baza.txt");
    std::optional<QString> uri;
    try {
        uri = engine::serverUriFor(fuzz::workDir() + QStringLiteral("/promet.db"));
    } catch (const engine::EngineError &) {
        return;
    }
    fuzz::check(uri.has_value(), "baza.txt not read");
    if (uri->contains(QChar(0)))
        return; // libpq reads a URI only up to a zero byte, the program's and this check's alike
    const std::optional<QString> password = passwordOf(*uri);
    if (!password)
        return;
    if (const auto shown = passwordOf(engine::serverlink::withoutPassword(*uri)))
        fuzz::check(shown->isEmpty(),
                    "the password stays in the URI shown:", *uri);
    const QString given = QStringLiteral("s3cr&t=?%/ x");
    if (const auto added = passwordOf(engine::serverlink::withPassword(*uri, given)))
        fuzz::check(*added == given, "the password given is not the one in the URI:", *uri);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray file = fuzz::bytes(data, size);
    ftpOptions(file);
    serverFile(file);
    return 0;
}
