// posting_desk DIR COUNT N: one cash desk posting COUNT times to the journal of DIR/podaci through
// the posting operation the posting page uses (desk/Posting.h); desk N posts N+1 dinars in and
// 0.50 out by turns,
// two postings on 31/12/2025 and then two on 01/01/2026.
// posting_desk DIR backup TARGET: one desk copying the journal of DIR/podaci to TARGET as the
// backup page does (for tests that stop a backup midway).
// Exits 1 with the engine's text on the first failure other than a busy journal.

#include "desk/Posting.h"

#include "desk/DeskTables.h"
#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "engine/TableStores.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 4)
        return 2;
    desk::placeTablesOnServer();
    if (qstrcmp(argv[2], "backup") == 0) {
        try {
            engine::copyTableFile(QString::fromLocal8Bit(argv[1]) + QStringLiteral("/podaci/promet.db"),
                                  QString::fromLocal8Bit(argv[3]));
        } catch (const engine::EngineError &e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
        return 0;
    }
    const int count = QString::fromLocal8Bit(argv[2]).toInt();
    const int deskNumber = QString::fromLocal8Bit(argv[3]).toInt();
    engine::Session session;
    session.setBaseDir(QString::fromLocal8Bit(argv[1]));
    session.setPassword(desk::tablePassword());
    session.setDurableWrites(false);
    session.setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
    engine::Table journal(session, QStringLiteral("podaci/promet.db"));
    try {
        for (int i = 0; i < count; ++i) {
            journal.open();
            const bool in = i % 2 == 0;
            desk::Posting p;
            p.cashier = QStringLiteral("Kasa %1").arg(deskNumber);
            p.reason = QString::number(i);
            p.day = i % 4 < 2 ? QDate(2025, 12, 31) : QDate(2026, 1, 1);
            p.time = QStringLiteral("12:00:00");
            p.direction = in ? desk::Direction::In : desk::Direction::Out;
            p.amount = in ? engine::Money::fromHundredths(100 * (deskNumber + 1))
                          : engine::Money::fromHundredths(50);
            // A cashier who hears that the journal is busy presses again; so does this desk
            // (the waits are longer than the lock's 2 s on a loaded machine).
            for (int attempt = 1;; ++attempt) {
                try {
                    desk::post(journal, p, session.dateFormat());
                    break;
                } catch (const engine::EngineError &e) {
                    if (e.kind() != engine::EngineError::Kind::Busy || attempt == 30)
                        throw;
                }
            }
            journal.close();
        }
    } catch (const engine::EngineError &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
