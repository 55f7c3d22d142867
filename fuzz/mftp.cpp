// mftp's command line and ~/.netrc: the input's lines before a form feed are the arguments
// (URL, options, file names), the rest is a netrc text. A command line the parser takes never
// leaves a line end or a zero byte in anything that goes to the server as a command, whatever
// the URL or the netrc held.

#include "FuzzSupport.h"

#include "tools/mftp/MftpOptions.h"

namespace {

bool clean(const QString &s)
{
    return !s.contains(u'\r') && !s.contains(u'\n') && !s.contains(QChar(0));
}

void checkClean(const MftpOptions &o, const QString &input)
{
    for (const QString *field : {&o.host, &o.user, &o.password, &o.remotePath, &o.proxyHost,
                                 &o.proxyUser, &o.proxyPassword})
        fuzz::check(clean(*field), "a line end reaches the server from", input);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString input = fuzz::text(data, size);
    const qsizetype ff = input.indexOf(u'\f');
    const QStringList args = (ff < 0 ? input : input.left(ff)).split(u'\n');
    const QString netrc = ff < 0 ? QString() : input.mid(ff + 1);
    MftpOptions options;
    QString error;
    if (!MftpOptions::parse(args, options, error)) {
        fuzz::check(!error.isEmpty(), "a refused command line without a reason:", input);
        return 0;
    }
    if (options.help || options.version)
        return 0;
    checkClean(options, input);
    fuzz::check(options.port >= 1, "port 0 taken from", input);
    options.applyNetrc(netrc);
    checkClean(options, input);
    return 0;
}
