#include "ChainCheck.h"

#include "desk/DeskTables.h"
#include "desk/JournalChain.h"

#include <QThread>

namespace {

// The administrator's warning: a chain that does not hold means a change outside the
// program; a closed day that no longer matches its records means a restore of an older
// backup (or such a change).
QString warningOf(const desk::chain::Verdict &v)
{
    QStringList parts;
    if (!v.chainOk())
        parts << QStringLiteral("UPOZORENJE: promet se ne slaze sa svojim lancem i dnevnikom, "
                                "podaci su menjani van programa.\n") +
                     v.chainText();
    if (v.readable && !v.closedDays.isEmpty())
        parts << QStringLiteral("UPOZORENJE: zakljuceni dani se ne slazu sa prometom (ucitan je "
                                "stariji back-up ili su podaci menjani):\n") +
                     v.closedDays.join(u'\n');
    if (parts.isEmpty())
        return v.text();
    return parts.join(u'\n') +
           QStringLiteral("\nProgram radi dalje; proverite promet ili ucitajte back-up.");
}

} // namespace

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
        emit done(v.ok(), warningOf(v));
    }));
    m_thread->start(QThread::LowPriority);
}
