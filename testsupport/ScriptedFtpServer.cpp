// The scripted FTP server of the tests; see ScriptedFtpServer.h.

#include "ScriptedFtpServer.h"
#include "Loopback.h"

#include <cerrno>
#include <poll.h>

#include <chrono>

namespace {

constexpr int IoTimeoutMs = 5000;

void setTimeouts(int fd)
{
    timeval tv{};
    tv.tv_sec = IoTimeoutMs / 1000;
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

int acceptWithin(int listenFd, int ms)
{
    pollfd p{listenFd, POLLIN, 0};
    if (poll(&p, 1, ms) <= 0)
        return -1;
    const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0)
        setTimeouts(fd);
    return fd;
}

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

ScriptedSession::~ScriptedSession()
{
    closeData();
    closeFd(m_passiveFd);
    close();
}

void ScriptedSession::send(const QByteArray &raw)
{
    if (m_fd >= 0)
        ::send(m_fd, raw.constData(), static_cast<size_t>(raw.size()), MSG_NOSIGNAL);
}

void ScriptedSession::reply(const QString &line)
{
    send(line.toUtf8() + "\r\n");
}

QString ScriptedSession::next()
{
    while (m_fd >= 0) {
        const qsizetype lf = m_buffer.indexOf('\n');
        if (lf >= 0) {
            QByteArray line = m_buffer.left(lf);
            m_buffer.remove(0, lf + 1);
            if (line.endsWith('\r'))
                line.chop(1);
            const QString command = QString::fromUtf8(line);
            m_server.record(command);
            return command;
        }
        char chunk[4096];
        const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (n <= 0) {
            close();
            break;
        }
        m_buffer.append(chunk, n);
    }
    return QString();
}

void ScriptedSession::sleep(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void ScriptedSession::close()
{
    closeFd(m_fd);
}

void ScriptedSession::serve(const std::function<QString(const QString &)> &answer)
{
    while (isOpen()) {
        const QString command = next();
        if (command.isEmpty() && !isOpen())
            return;
        const QString text = answer(command);
        if (text.isEmpty()) {
            close();
            return;
        }
        reply(text);
        if (command == QLatin1String("QUIT"))
            close(); // as real servers do after answering QUIT
    }
}

QString ScriptedSession::loginAnswer(const QString &command)
{
    if (command.startsWith(QLatin1String("USER")))
        return QStringLiteral("331 Password required");
    if (command.startsWith(QLatin1String("PASS")))
        return QStringLiteral("230 Logged in");
    if (command == QLatin1String("SYST"))
        return QStringLiteral("215 UNIX Type: L8");
    if (command == QLatin1String("REST 100"))
        return QStringLiteral("350 Restarting at 100");
    if (command == QLatin1String("REST 0"))
        return QStringLiteral("350 Restarting at 0");
    if (command == QLatin1String("PWD"))
        return QStringLiteral("257 \"/home\" is the current directory");
    if (command == QLatin1String("NOOP"))
        return QStringLiteral("200 NOOP ok");
    if (command == QLatin1String("QUIT"))
        return QStringLiteral("221 Bye");
    return QStringLiteral("500 Unknown command");
}

QString ScriptedSession::openPassive()
{
    closeFd(m_passiveFd);
    quint16 port = 0;
    m_passiveFd = loopback::listenOnFreePort(port);
    return QStringLiteral("227 Entering Passive Mode (127,0,0,1,%1,%2).")
        .arg(port / 256)
        .arg(port % 256);
}

bool ScriptedSession::acceptPassive()
{
    closeData();
    m_dataFd = acceptWithin(m_passiveFd, IoTimeoutMs);
    closeFd(m_passiveFd);
    return m_dataFd >= 0;
}

bool ScriptedSession::connectActive(const QString &portArgument)
{
    closeData();
    const QStringList f = portArgument.split(QLatin1Char(','));
    if (f.size() != 6)
        return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    const QString host = f.mid(0, 4).join(QLatin1Char('.'));
    inet_pton(AF_INET, host.toLatin1().constData(), &a.sin_addr);
    a.sin_port = htons(static_cast<quint16>(f[4].toInt() * 256 + f[5].toInt()));
    m_dataFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    setTimeouts(m_dataFd);
    if (::connect(m_dataFd, reinterpret_cast<sockaddr *>(&a), sizeof a) < 0) {
        closeData();
        return false;
    }
    return true;
}

void ScriptedSession::sendData(const QByteArray &data)
{
    qsizetype sent = 0;
    while (m_dataFd >= 0 && sent < data.size()) {
        const ssize_t n = ::send(m_dataFd, data.constData() + sent,
                                 static_cast<size_t>(data.size() - sent), MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += n;
    }
}

QByteArray ScriptedSession::receiveData(bool *reset)
{
    QByteArray all;
    char chunk[65536];
    while (m_dataFd >= 0) {
        const ssize_t n = ::recv(m_dataFd, chunk, sizeof chunk, 0);
        if (reset)
            *reset = n < 0 && errno == ECONNRESET;
        if (n <= 0)
            break;
        all.append(chunk, n);
    }
    return all;
}

void ScriptedSession::closeData()
{
    closeFd(m_dataFd);
}

ScriptedFtpServer::ScriptedFtpServer(Script script) : m_script(std::move(script))
{
    m_listenFd = loopback::listenOnFreePort(m_port);
    m_thread = std::thread([this] { run(); });
}

ScriptedFtpServer::~ScriptedFtpServer()
{
    m_stop = true;
    m_thread.join();
    ::close(m_listenFd);
}

void ScriptedFtpServer::run()
{
    int index = 0;
    while (!m_stop) {
        const int fd = acceptWithin(m_listenFd, 50);
        if (fd < 0)
            continue;
        ++m_connections;
        ScriptedSession session(*this, fd);
        m_script(session, index++);
    }
}

void ScriptedFtpServer::record(const QString &command)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_commands.append(command);
}

QStringList ScriptedFtpServer::commands() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_commands;
}

int ScriptedFtpServer::count(const QString &prefix) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    int n = 0;
    for (const QString &c : m_commands)
        if (c.startsWith(prefix))
            ++n;
    return n;
}

ScriptedFtpServer::Script answering(std::function<QString(const QString &)> answer)
{
    return [answer](ScriptedSession &s, int) {
        s.reply(QStringLiteral("220 ready"));
        s.serve([&answer](const QString &command) {
            const QString text = answer ? answer(command) : QString();
            return text.isEmpty() ? ScriptedSession::loginAnswer(command) : text;
        });
    };
}

quint16 closedPort()
{
    ScriptedFtpServer gone([](ScriptedSession &, int) {});
    return gone.port();
}

void serveFiles(ScriptedSession &s, RemoteFiles &remote,
                const std::function<QString(const QString &)> &override, const QByteArray &welcome)
{
    s.send(welcome + "\r\n");
    QString portArgument;
    bool passive = false;
    qint64 rest = 0;
    auto openData = [&]() {
        return passive ? s.acceptPassive() : s.connectActive(portArgument);
    };
    while (s.isOpen()) {
        const QString c = s.next();
        if (!s.isOpen())
            return;
        const QString o = override ? override(c) : QString();
        if (!o.isEmpty()) {
            if (c == QLatin1String("PASV"))
                passive = true;
            s.reply(o);
            continue;
        }
        const QString arg = c.section(QLatin1Char(' '), 1);
        std::unique_lock<std::mutex> lock(remote.mutex);
        const bool exists = remote.files.contains(arg);
        const QByteArray content = remote.files.value(arg);
        lock.unlock();
        if (c.startsWith(QLatin1String("TYPE"))) {
            s.reply(QStringLiteral("200 Type set"));
        } else if (c == QLatin1String("PASV")) {
            passive = true;
            s.reply(s.openPassive());
        } else if (c.startsWith(QLatin1String("PORT "))) {
            passive = false;
            portArgument = arg;
            s.reply(QStringLiteral("200 PORT command successful"));
        } else if (c.startsWith(QLatin1String("SIZE "))) {
            s.reply(exists ? QStringLiteral("213 %1").arg(content.size())
                           : QStringLiteral("550 No such file"));
        } else if (c.startsWith(QLatin1String("REST ")) && c != QLatin1String("REST 100")
                   && c != QLatin1String("REST 0")) {
            rest = arg.toLongLong();
            s.reply(QStringLiteral("350 Restarting at %1").arg(rest));
        } else if (c.startsWith(QLatin1String("RETR "))) {
            if (!exists) {
                s.reply(QStringLiteral("550 No such file"));
                continue;
            }
            if (!openData()) {
                s.reply(QStringLiteral("425 Cannot open data connection"));
                continue;
            }
            s.reply(QStringLiteral("150 Opening BINARY mode data connection for %1 (%2 bytes).")
                        .arg(arg)
                        .arg(content.size()));
            s.sendData(content.mid(rest));
            s.closeData();
            rest = 0;
            s.reply(QStringLiteral("226 Transfer complete"));
        } else if (c.startsWith(QLatin1String("STOR "))) {
            if (!openData()) {
                s.reply(QStringLiteral("425 Cannot open data connection"));
                continue;
            }
            s.reply(QStringLiteral("150 Ok to send data"));
            bool reset = false;
            const QByteArray data = s.receiveData(&reset);
            s.closeData();
            if (reset) { // a cut stream is not stored
                s.reply(QStringLiteral("426 Connection reset"));
                continue;
            }
            remote.put(arg, rest > 0 ? remote.get(arg).left(rest) + data : data);
            rest = 0;
            s.reply(QStringLiteral("226 Transfer complete"));
        } else {
            s.reply(ScriptedSession::loginAnswer(c));
        }
    }
}
