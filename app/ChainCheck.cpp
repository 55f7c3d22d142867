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
        // The check reads the journal, the chain and the log one after another while desks
        // may post: a posting stored between two reads looks like a record without its link.
        // Such a finding goes with the next pass; a change made outside the program is found
        // the same way twice in a row, and only that is reported.
        desk::chain::Verdict v = desk::chain::verifyDirectory(dir, desk::tablePassword());
        for (int pass = 0; pass < 4 && !v.ok(); ++pass) {
            QThread::msleep(100);
            const desk::chain::Verdict again =
                desk::chain::verifyDirectory(dir, desk::tablePassword());
            const bool same = again.text() == v.text();
            v = again;
            if (same)
                break;
        }
        // Queued: the slot runs in the window's thread.
        emit done(v.ok(), v.text());
    }));
    m_thread->start(QThread::LowPriority);
}
