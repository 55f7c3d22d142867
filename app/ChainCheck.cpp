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
        const desk::chain::Verdict v = desk::chain::verifyDirectory(dir, desk::tablePassword());
        // Queued: the slot runs in the window's thread.
        emit done(v.ok(), v.text());
    }));
    m_thread->start(QThread::LowPriority);
}
