// TForm1: the journal export written after every posting.
#include "Unit1.h"

#include "OpenTables.h"

#include "JournalExport.h"

#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "platform/AtomicFile.h"
#include "platform/Dialogs.h"
#include "platform/TextFiles.h"

#include <QDir>
#include <QLineEdit>

bool TForm1::exportJournal(const QString &messageStart)
{
    QByteArray bytes;
    try {
        OpenTables tables(session, {Table3});
        Table3->first();
        bytes = journal_export::buildFile(*Table3, session.dateFormat(), todayText(),
                                          Edit2->text(), Edit3->text());
    } catch (const engine::EngineError &e) {
        dialogs.message(messageStart + e.message());
        return false;
    }

    QString reason;
    if (!platform::writeFileAtomically(QDir::current().filePath(QStringLiteral("podaci.txt")),
                                       bytes, &reason)) {
        // The previous file stays whole; no upload follows.
        dialogs.message(messageStart + QStringLiteral("podaci.txt: ") + reason);
        return false;
    }
    return true;
}
