// TForm1: the journal export written after every posting, through the cache of its body.
#include "Unit1.h"

#include "OpenTables.h"

#include "ExportCache.h"
#include "JournalExport.h"

#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "platform/Dialogs.h"
#include "platform/TextFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

bool TForm1::exportJournal(const QString &messageStart)
{
    const QString target = QDir::current().filePath(QStringLiteral("podaci.txt"));
    QString reason;
    try {
        OpenTables tables(session, {Table3});
        // The cache of the encoded records lies beside the journal: only records stored since
        // the last export are read and encoded (see ExportCache.h).
        const QString cache = QFileInfo(Table3->filePath()).dir().filePath(journal_export::CacheFileName);
        if (journal_export::writeExport(*Table3, session.dateFormat(),
                                        journal_export::headingBytes(todayText(), Edit2->text(),
                                                                     Edit3->text()),
                                        target, cache, &reason))
            return true;
    } catch (const engine::EngineError &e) {
        dialogs.message(messageStart + e.message());
        return false;
    }
    // The previous file stays whole; no upload follows.
    dialogs.message(messageStart + QStringLiteral("podaci.txt: ") + reason);
    return false;
}
