#pragma once

// ChainCheck: the check of the journal against its chain and audit log that the
// administrator's login starts. It runs in a thread of its own with its own engine session
// (its own table file connection; on the server its own connection), so the window never
// waits for it; when the journal does not verify, done() brings the findings to the window's
// thread. Destroying the object waits for a check still running.

#include <QObject>
#include <QString>

#include <memory>

class QThread;

class ChainCheck : public QObject
{
    Q_OBJECT
public:
    explicit ChainCheck(QObject *parent = nullptr);
    ~ChainCheck() override;

    // Checks the journal of the data directory `dir`; a check still running is let finish
    // first (its answer still comes).
    void start(const QString &dir);
    // Waits for the check that runs (tests and benchmarks).
    void wait();

signals:
    // `ok` when journal, chain, log and closed days agree; otherwise `text` is the warning to
    // show, saying what was found.
    void done(bool ok, const QString &text);

private:
    std::unique_ptr<QThread> m_thread;
};
