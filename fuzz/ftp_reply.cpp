// What an FTP server answers: reply lines, multi-line replies and the answers to PASV, EPSV,
// SIZE and PWD, through the component's own reply handlers. The first byte of the input
// chooses the handler waiting for the reply; the rest is the server's bytes, cut into lines
// as the control connection cuts them (text after a zero byte dropped, CR LF or LF). No
// connection is open, so whatever a handler sends is refused as it would be on a closed
// connection; the handlers' reading of the text is what is tried.

#include "FuzzSupport.h"

#include "ftp/Ftp.h"
#include "ftp/FtpMisc.h"

#include <cstring>

namespace {

class ReplyFtp : public ftp::TMFtp
{
public:
    void feed(unsigned char choice, const QByteArray &server)
    {
        static const Continuation handlers[] = {
            &ReplyFtp::HandleNoopReply,         &ReplyFtp::HandleQuitReply,
            &ReplyFtp::HandleRnfrReply,         &ReplyFtp::HandleCompletionReply,
            &ReplyFtp::HandleWelcome,           &ReplyFtp::HandleHostReply,
            &ReplyFtp::HandleOpenReply,         &ReplyFtp::HandleProxyUserReply,
            &ReplyFtp::HandleProxyPassReply,    &ReplyFtp::HandleSiteReply,
            &ReplyFtp::HandleUserReply,         &ReplyFtp::HandlePassReply,
            &ReplyFtp::HandleAcctReply,         &ReplyFtp::HandleSystReply,
            &ReplyFtp::HandleRestProbeReply,    &ReplyFtp::HandleInitialCwdReply,
            &ReplyFtp::HandlePwdReply,          &ReplyFtp::HandleAuthTlsReply,
            &ReplyFtp::HandlePbszReply,         &ReplyFtp::HandleProtReply,
            &ReplyFtp::HandlePasvReply,         &ReplyFtp::HandleDownloadSizeReply,
            &ReplyFtp::HandleDownloadRestReply, &ReplyFtp::HandleRetrReply,
            &ReplyFtp::HandleUploadSizeReply,   &ReplyFtp::HandleUploadRestReply,
            &ReplyFtp::HandleStorReply,         &ReplyFtp::HandleStorFinalReply,
        };
        const Continuation handler = handlers[choice % std::size(handlers)];
        const QByteArray kept(server.constData(), static_cast<qsizetype>(qstrnlen(server.constData(), server.size())));
        qsizetype from = 0;
        while (from < kept.size()) {
            qsizetype lf = kept.indexOf('\n', from);
            if (lf < 0)
                lf = kept.size();
            QByteArray line = kept.mid(from, lf - from);
            from = lf + 1;
            if (line.endsWith('\r'))
                line.chop(1);
            if (line.size() > MaxReplyLine)
                return;
            // Each line answers a command of its own.
            m_awaitingReply = true;
            m_commandOffset = m_lineOffset = 0;
            if (!m_replyHandler)
                m_replyHandler = handler;
            m_inReplyHandler = true;
            ProcessReplyLine(QString::fromUtf8(line));
            m_inReplyHandler = false;
        }
    }
};

void answers(const QString &reply)
{
    QString host = QStringLiteral("unchanged");
    quint16 port = 7;
    if (ftp::misc::ParsePasvAddress(reply, host, port)) {
        const QStringList parts = host.split(u'.');
        fuzz::check(parts.size() == 4, "PASV gave no dotted address:", reply + QStringLiteral(" -> ") + host);
        fuzz::check(ftp::misc::PortArgument(host, port).count(u',') == 5,
                    "PASV address does not make a PORT argument:", reply);
    } else {
        fuzz::check(host == QLatin1String("unchanged") && port == 7, "refused PASV changed the address:", reply);
    }
    port = 7;
    if (ftp::misc::ParseEpsvPort(reply, port))
        fuzz::check(port >= 1, "EPSV gave port 0 from", reply);
    else
        fuzz::check(port == 7, "refused EPSV changed the port:", reply);
    const QString dir = ftp::misc::QuotedDirectory(reply);
    fuzz::check(ftp::misc::StripDrivePrefix(dir).size() <= 999, "directory longer than allowed:", reply);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::application();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray server = fuzz::bytes(data + 1, size - 1);
    answers(QString::fromUtf8(server));
    {
        ReplyFtp ftp;
        ftp.feed(data[0], server);
        QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    return 0;
}
