#pragma once

// ChainCheck: the check of the journal against its chain and audit log that the
// administrator's login starts. It runs in a thread of its own with its own engine session
// (its own table file connection; on the server its own connection), so the window never
// waits for it; when the journal does not verify, done() brings the findings to the window's
// thread. Destroying the object waits for a check still running and drops its answer.
//
// The hand-over uses nothing but the standard library's primitives: the thread gets its
// directory as a plain copy, leaves its answer under a std::mutex and sets an atomic flag; a
// timer of the window's thread sees the flag, joins the thread and emits done(). No Qt object
// crosses threads, so thread checkers see every step of it.

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

class ChainCheck : public QObject
{
    Q_OBJECT
public:
    explicit ChainCheck(QObject *parent = nullptr);
    ~ChainCheck() override;

    // Checks the journal of the data directory `dir`; a check still running is let finish
    // first (its answer still comes, before this one's).
    void start(const QString &dir);
    // Waits for the check that runs (tests and benchmarks); its answer comes from the event
    // loop as usual.
    void wait();

signals:
    // `ok` when journal, chain, log and closed days agree; otherwise `text` is the warning to
    // show, saying what was found.
    void done(bool ok, const QString &text);

private:
    struct Answer
    {
        bool ok = false;
        std::u16string text;
    };
    void deliver();

    std::thread m_thread;
    std::atomic<bool> m_finished{false};
    std::mutex m_lock;
    std::vector<Answer> m_answers; // under m_lock
    QTimer m_poll;
};
