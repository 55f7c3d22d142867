// The off-site copies' FTP target: one synchronous session per target over a TMFtp of its
// own, a step (folder, listing, store, fetch, delete) at a time, each waited for in a local
// event loop; a copy is stored through the Uploader (under NAME.part, renamed to NAME).

#include "OffsiteFtp.h"

#include "FtpReasons.h"
#include "FtpSettings.h"
#include "Uploader.h"
#include "engine/EngineError.h"
#include "ftp/Ftp.h"
#include "platform/TextFiles.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>

#include <functional>

namespace offsite_ftp {

namespace {

using engine::EngineError;
using namespace ftp;

// Why a step failed, in the administrator's words.
QString reason(FtpError error)
{
    return ftpFailureReason(error, {QStringLiteral("server je odbio pristup"),
                                    QStringLiteral("lokalna datoteka nije procitana ili upisana")});
}

// A server's text on one line.
QString oneLine(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.trimmed();
}

QString remote(const QString &name)
{
    return Folder + QLatin1Char('/') + name;
}

class FtpTarget : public desk::offsite::Target
{
public:
    explicit FtpTarget(const QString &dir)
    {
        const QString path = QDir(dir).filePath(QStringLiteral("podaci/ftpop.txt"));
        QString why;
        const std::optional<QStringList> lines = platform::loadLines(path, &why);
        if (!lines)
            m_problem = QStringLiteral("FTP kopije koriste FTP opciju, a %1 se ne moze procitati: %2")
                            .arg(path, why);
        else if (lines->size() < 4 || lines->first() != QLatin1String("1")
                 || lines->at(1).trimmed().isEmpty())
            m_problem = QStringLiteral("FTP kopije koriste server FTP opcije, a ona nije "
                                       "ukljucena (podaci/ftpop.txt)");
        else
            m_settings = FtpSettings::fromLines(*lines);
    }

    ~FtpTarget() override { end(); }

    QString label() const override
    {
        return QStringLiteral("FTP %1/%2").arg(server(), Folder);
    }

    void prepare() override
    {
        step(QStringLiteral("pravljenje fascikle ") + Folder,
             [this] { m_ftp->MakeDirectory(Folder, true); });
    }

    QStringList names() override
    {
        step(QStringLiteral("citanje spiska kopija"), [this] { m_ftp->ListNames(Folder); });
        return m_ftp->NameList();
    }

    void put(const QString &localPath, const QString &name) override
    {
        // Under a temporary name first: the folder never shows a part of a copy as a copy. A
        // refused rename deletes the part (the uploader); any other failure deletes it here,
        // on a new session when the old one is gone.
        const QString part = remote(name + QStringLiteral(".part"));
        const QString renaming = QStringLiteral("preimenovanje kopije ") + name;
        session();
        reset();
        Uploader uploader(*m_ftp);
        bool finished = false;
        bool stored = false;
        QString refusal; // the refused rename's failure, told as it came
        QObject::connect(&uploader, &Uploader::done, [&] { finished = stored = true; });
        Uploader::Step failedStep = Uploader::Step::Idle;
        QObject::connect(&uploader, &Uploader::failed, [&](Uploader::Step step) {
            finished = true;
            failedStep = step;
        });
        QObject::connect(&uploader, &Uploader::renameRefused,
                         [&] { refusal = failure(renaming); });
        m_uploader = &uploader;
        uploader.start({localPath, remote(name), part, Uploader::RefusedRename::Fail});
        waitWhile([&] { return !finished && !m_quit; });
        const Uploader::Step left = uploader.step();
        m_uploader = nullptr;
        if (stored && !m_failed && !m_quit)
            return;
        if (!refusal.isEmpty())
            throw EngineError(refusal);
        const bool inRename = stored || failedStep == Uploader::Step::Renaming
                              || left == Uploader::Step::Renaming
                              || left == Uploader::Step::Deleting;
        const QString text =
            failure(inRename ? renaming : QStringLiteral("slanje kopije ") + name);
        try {
            step(QString(), [&] { m_ftp->DeleteFile(part); });
        } catch (const EngineError &) {
            // Left behind: it is no copy, and the reason above is the one to tell.
        }
        throw EngineError(text);
    }

    void get(const QString &name, const QString &localPath) override
    {
        step(QStringLiteral("preuzimanje kopije ") + name,
             [&] { m_ftp->DownloadFile(remote(name), localPath); });
    }

    void remove(const QString &name) override
    {
        step(QStringLiteral("brisanje kopije ") + name, [&] { m_ftp->DeleteFile(remote(name)); });
    }

private:
    QString server() const
    {
        if (m_settings.server.isEmpty())
            return QStringLiteral("(server nije podesen)");
        return m_settings.port == 21 ? m_settings.server
                                     : QStringLiteral("%1:%2").arg(m_settings.server).arg(m_settings.port);
    }

    void waitWhile(const std::function<bool()> &going, const QDeadlineTimer &deadline = QDeadlineTimer::Forever)
    {
        // The component's watchdog ticks four times a second: the loop looks at the clock.
        while (going() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

    QString failure(const QString &what) const
    {
        const QString reply = oneLine(m_errorText.isEmpty() ? m_ftp->LastReply() : m_errorText);
        return QStringLiteral("FTP server %1: %2 nije uspelo: %3%4")
            .arg(server(), what, m_quit && !m_failed ? reason(errConnectionAborted) : reason(m_error),
                 reply.isEmpty() ? QString() : QStringLiteral(" (") + reply + QLatin1Char(')'));
    }

    // A logged-in session, the one there is or a new one.
    void session()
    {
        if (m_ftp && m_ftp->LoggedIn() && m_ftp->ControlConnected() && !m_quit)
            return;
        if (!m_problem.isEmpty())
            throw EngineError(m_problem);
        m_ftp.reset();
        m_ftp = std::make_unique<TMFtp>();
        TMFtp &ftp = *m_ftp;
        ftp.SetServer(m_settings.server);
        ftp.SetUsername(m_settings.user);
        ftp.SetPassword(m_settings.password);
        ftp.SetTls(m_settings.tls ? tlsExplicit : tlsNone);
        ftp.SetTlsPinnedSha256(m_settings.pinnedKey);
        ftp.Port = m_settings.port; // after SetTls, which moves a default port
        ftp.SetPassive(m_settings.passive);
        // One attempt: the next backup tries again.
        ftp.SetRetries(0);
        ftp.SetNoopInterval(0);
        ftp.SetAsynchronous(false);
        ftp.OnFtpNeedInfo = [](TMFtp *, TMFtpInfoNeeded need, QString &value) {
            if (need == needResumeChoice)
                value = QStringLiteral("Overwrite"); // a copy goes whole, never resumed
        };
        ftp.OnFtpInfo = [this](TMFtp *, FtpInfo kind, const QString &text) {
            if (m_uploader)
                m_uploader->info(kind, text);
        };
        ftp.OnFileStored = [this](TMFtp *) {
            if (m_uploader)
                m_uploader->fileStored();
        };
        ftp.OnFileRenamed = [this](TMFtp *) {
            if (m_uploader)
                m_uploader->fileRenamed();
        };
        ftp.OnFileDeleted = [this](TMFtp *) {
            if (m_uploader)
                m_uploader->fileDeleted();
        };
        ftp.OnFtpError = [this](TMFtp *, FtpError kind, const QString &text) {
            if (m_uploader)
                m_uploader->error(kind, text);
            if (m_failed)
                return; // the first error is the reason
            m_failed = true;
            m_error = kind;
            m_errorText = text;
        };
        ftp.OnFtpReady = [this](TMFtp *) { m_ready = true; };
        ftp.OnFtpQuit = [this](TMFtp *) { m_quit = true; };
        bool loggedIn = false;
        ftp.OnLoggedIn = [&loggedIn](TMFtp *) { loggedIn = true; };
        reset();
        m_quit = false;
        ftp.Login();
        waitWhile([&] { return !loggedIn && !m_failed && !m_quit; },
                  QDeadlineTimer((ftp.TimeOut + 20) * 1000));
        ftp.OnLoggedIn = nullptr;
        if (loggedIn && !m_failed && !m_quit)
            return;
        const QString reply = oneLine(m_errorText.isEmpty() ? ftp.LastReply() : m_errorText);
        const QString text =
            QStringLiteral("FTP server %1 nije dostupan: %2%3")
                .arg(server(), m_failed ? reason(m_error) : reason(errTimedOut),
                     reply.isEmpty() ? QString() : QStringLiteral(" (") + reply + QLatin1Char(')'));
        m_ftp->Close();
        m_ftp.reset();
        throw EngineError(text);
    }

    void reset()
    {
        m_failed = false;
        m_ready = false;
        m_error = errUnspecified;
        m_errorText.clear();
    }

    // Runs one operation of the session to its end; throws when it failed.
    void step(const QString &what, const std::function<void()> &start)
    {
        session();
        reset();
        start();
        waitWhile([this] { return m_ftp->Busy() && !m_quit; });
        // Not admitted (the connection went), ended by an error, or cut off.
        if (!m_ready || m_failed || m_quit)
            throw EngineError(failure(what));
    }

    // QUIT, so that the server does not log a dropped connection; a server that does not
    // answer does not hold the caller up for long.
    void end()
    {
        if (!m_ftp)
            return;
        if (m_ftp->LoggedIn() && m_ftp->ControlConnected() && !m_quit && !m_ftp->Busy()) {
            m_ftp->Quit();
            waitWhile([this] { return m_ftp->LoggedIn() && !m_quit; }, QDeadlineTimer(3000));
        }
        m_ftp->OnFtpError = nullptr;
        m_ftp->OnFtpInfo = nullptr;
        m_ftp->OnFileStored = nullptr;
        m_ftp->OnFileRenamed = nullptr;
        m_ftp->OnFileDeleted = nullptr;
        m_ftp->OnFtpReady = nullptr;
        m_ftp->OnFtpQuit = nullptr;
        m_ftp->Close();
        m_ftp.reset();
    }

    FtpSettings m_settings;
    QString m_problem;
    std::unique_ptr<TMFtp> m_ftp;
    Uploader *m_uploader = nullptr; // the store under way, which the session's events go to
    bool m_failed = false;
    bool m_ready = false;
    bool m_quit = false;
    FtpError m_error = errUnspecified;
    QString m_errorText;
};

} // namespace

std::unique_ptr<desk::offsite::Target> target(const QString &dir)
{
    return std::make_unique<FtpTarget>(dir);
}

void registerFtpTarget()
{
    desk::offsite::setFtpTargetFactory(&target);
}

} // namespace offsite_ftp
