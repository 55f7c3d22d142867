#include "ChainCheck.h"

#include "desk/DeskTables.h"
#include "desk/JournalChain.h"

#include <QThread>

ChainCheck::ChainCheck(QObject *parent) : QObject(parent) {}

ChainCheck::~ChainCheck()
{
    wait();
}

void ChainCheck::wait()
{
    if (m_thread)
        m_thread->wait();
}

void ChainCheck::start(const QString &dir)
{
    wait();
    m_thread.reset(QThread::create([this, dir] {
        // The check reads the journal, its chain and the log in one read-only transaction: a
        // posting a desk stores meanwhile is either wholly in what it reads or not at all, so
        // a finding is a change made outside the program and is reported at once.
        const desk::chain::Verdict v = desk::chain::verifyDirectory(dir, desk::tablePassword());
        // Queued: the slot runs in the window's thread.
        emit done(v.ok(), v.text());
    }));
    m_thread->start(QThread::LowPriority);
}
