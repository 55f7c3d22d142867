#pragma once

// The loopback fault proxy (testsupport/fault_proxy.py) in front of a server port: uri() goes
// through it, command() steers it ("arm COMMIT drop", "thaw", ...) and returns once the
// command is in force. The proxy ends with this object.

#include <QProcess>
#include <QString>

class FaultProxy
{
public:
    explicit FaultProxy(int targetPort)
    {
        m_process.start(QStringLiteral("/usr/bin/python3"),
                        {QStringLiteral(FAULT_PROXY), QString::number(targetPort)});
        const QByteArray first = readLine();
        if (first.startsWith("PORT "))
            m_port = first.mid(5).trimmed().toInt();
    }
    ~FaultProxy()
    {
        m_process.closeWriteChannel(); // the proxy ends at the end of its input
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }

    bool ok() const { return m_port > 0; }
    int port() const { return m_port; }

    // The URI `serverUri` (postgresql://user@127.0.0.1:PORT/db) with the proxy's port.
    QString uri(const QString &serverUri, int serverPort) const
    {
        QString out = serverUri;
        return out.replace(QStringLiteral(":%1/").arg(serverPort), QStringLiteral(":%1/").arg(m_port));
    }

    // Sends a command; true once the proxy has answered "ok" (lines "fired ..." before it are
    // skipped).
    bool command(const QString &line)
    {
        m_process.write(line.toUtf8() + '\n');
        for (;;) {
            const QByteArray reply = readLine();
            if (reply.startsWith("fired"))
                continue;
            return reply.trimmed() == "ok";
        }
    }

private:
    QByteArray readLine()
    {
        while (!m_process.canReadLine())
            if (!m_process.waitForReadyRead(10000))
                return {};
        return m_process.readLine();
    }

    QProcess m_process;
    int m_port = 0;
};
