#pragma once
// A scripted FTP server for the component's tests. It listens on a free loopback port and
// runs the test's script for each control connection, one connection after another, on a
// thread of its own, with blocking sockets and short time-outs so that a test that goes
// wrong fails instead of hanging. The script sends replies (whole, split, delayed, with
// zero bytes), reads commands (every command of every connection is recorded in order),
// closes, and serves data connections in passive and active mode. Beside it: a script that
// answers the login and what a test overrides, a small file server (serveFiles), the
// fixture of the component's tests (FtpTest), and a component pointed at a scripted server
// with the log of its events (ScriptedClient).

#include "FtpTestSupport.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

class ScriptedFtpServer;

class ScriptedSession
{
public:
    ScriptedSession(ScriptedFtpServer &server, int fd) : m_server(server), m_fd(fd) {}
    ~ScriptedSession();

    // Sends bytes as they are.
    void send(const QByteArray &raw);
    // Sends one reply line followed by CR LF.
    void reply(const QString &line);
    // The next command line without its line end; empty when the client closed the
    // connection or sent nothing within the time-out.
    QString next();
    bool isOpen() const { return m_fd >= 0; }
    void sleep(int ms);
    void close();

    // Answers commands until the client closes: answer(command) gives the reply lines to
    // send (several lines joined by "\r\n"); an empty answer closes the connection.
    void serve(const std::function<QString(const QString &command)> &answer);
    // The replies of a plain successful login (USER, PASS, SYST, REST, PWD "/home").
    static QString loginAnswer(const QString &command);

    // Data connections. openPassive listens on a free loopback port and returns the 227
    // reply naming it; connectActive connects to the address of a PORT argument.
    QString openPassive();
    bool acceptPassive();
    bool connectActive(const QString &portArgument);
    void sendData(const QByteArray &data);
    // Reads until the data connection ends; reset tells whether the client reset it.
    QByteArray receiveData(bool *reset = nullptr);
    void closeData();

private:
    ScriptedFtpServer &m_server;
    int m_fd;
    QByteArray m_buffer;
    int m_passiveFd = -1;
    int m_dataFd = -1;
};

class ScriptedFtpServer
{
public:
    using Script = std::function<void(ScriptedSession &session, int connection)>;

    explicit ScriptedFtpServer(Script script);
    ~ScriptedFtpServer();

    quint16 port() const { return m_port; }
    QStringList commands() const;
    int connectionCount() const { return m_connections; }
    // Commands recorded so far that begin with prefix.
    int count(const QString &prefix) const;

    void record(const QString &command);

private:
    void run();

    Script m_script;
    int m_listenFd = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    mutable std::mutex m_mutex;
    QStringList m_commands;
    std::thread m_thread;
};

// A script that welcomes with "220 ready" and answers each command with answer(command), or
// with ScriptedSession::loginAnswer where answer gives no text (or is not given).
ScriptedFtpServer::Script answering(std::function<QString(const QString &command)> answer = {});

// A test of the component: the application object its event loop needs is there.
class FtpTest : public ::testing::Test
{
protected:
    void SetUp() override { ftptest::ensureApp(); }
};

// A component pointed at a scripted server running script (see ftptest::pointAt), with the
// log of its events; a test names the three parts with
//     ScriptedClient client(answering());
//     auto &[server, ftp, log] = client;
struct ScriptedClient
{
    explicit ScriptedClient(ScriptedFtpServer::Script script, int timeOut = 3)
        : server(std::move(script))
    {
        ftptest::pointAt(ftp, server.port(), timeOut);
    }
    ScriptedFtpServer server;
    ftp::TMFtp ftp;
    ftptest::FtpLog log{ftp};
};

// A loopback port that nothing listens on: a scripted server's, closed again.
quint16 closedPort();

// Remote files of the scripted server, shared with its thread.
struct RemoteFiles
{
    std::mutex mutex;
    QMap<QString, QByteArray> files;
    void put(const QString &name, const QByteArray &data)
    {
        std::lock_guard<std::mutex> lock(mutex);
        files[name] = data;
    }
    QByteArray get(const QString &name)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return files.value(name);
    }
};

// A small FTP server on a scripted session: the welcome, the login, TYPE, PASV, PORT, SIZE,
// REST, RETR and STOR over the remote files. An override answers a command first when it
// returns text.
void serveFiles(ScriptedSession &s, RemoteFiles &remote,
                const std::function<QString(const QString &command)> &override = {},
                const QByteArray &welcome = "220 ready");
