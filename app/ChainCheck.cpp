// ChainCheck: the background check of the journal at the administrator's login, and the
// warning its findings make.
#include "ChainCheck.h"

#include "desk/DeskTables.h"
#include "desk/JournalChain.h"


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

ChainCheck::ChainCheck(QObject *parent) : QObject(parent)
{
    m_poll.setInterval(20);
    connect(&m_poll, &QTimer::timeout, this, &ChainCheck::deliver);
}

ChainCheck::~ChainCheck()
{
    m_poll.stop();
    wait();
}

void ChainCheck::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}

void ChainCheck::deliver()
{
    if (m_finished.load(std::memory_order_acquire))
        wait(); // it has left its answer; the join only collects the thread
    std::vector<Answer> answers;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        answers.swap(m_answers);
    }
    if (!m_thread.joinable() && answers.empty())
        m_poll.stop();
    for (const Answer &a : answers)
        emit done(a.ok, QString::fromStdU16String(a.text));
}

void ChainCheck::start(const QString &dir)
{
    wait();
    m_finished.store(false, std::memory_order_relaxed);
    m_thread = std::thread([this, where = dir.toStdU16String(),
                            password = desk::tablePassword().toStdU16String()] {
        // The check reads the journal, its chain and the log in one read-only transaction: a
        // posting a desk stores meanwhile is either wholly in what it reads or not at all, so
        // a finding is a change made outside the program and is reported at once.
        const desk::chain::Verdict v = desk::chain::verifyDirectory(
            QString::fromStdU16String(where), QString::fromStdU16String(password));
        Answer answer{v.ok(), warningOf(v).toStdU16String()};
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_answers.push_back(std::move(answer));
        }
        m_finished.store(true, std::memory_order_release);
    });
    m_poll.start();
}
