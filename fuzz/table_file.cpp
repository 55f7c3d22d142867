// A table file the program is handed: offered as a backup to restore (its preview reads it
// against the journal, and the restore's own check of it) and found as the journal of a data
// directory (the chain check reads it). Whatever the bytes, each answers or refuses with the
// engine's error; none crashes, hangs or reads out of bounds.

#include "FuzzSupport.h"

#include "desk/DeskTables.h"
#include "desk/JournalChain.h"
#include "desk/Restore.h"
#include "engine/EngineError.h"
#include "testsupport/JournalFiller.h"

#include <QDir>
#include <QFile>

namespace {

void writeFile(const QString &path, const uint8_t *data, size_t size)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || f.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size)) != static_cast<qint64>(size))
        fuzz::fail("cannot write", path);
}

struct Directories
{
    QString withJournal = fuzz::workDir() + QStringLiteral("/restore");
    QString strange = fuzz::workDir() + QStringLiteral("/journal");

    Directories()
    {
        testsupport::FillOptions fill;
        fill.directory = withJournal;
        fill.postings = 20;
        fill.firstDay = QDate(2026, 11, 1);
        const QString failed = testsupport::JournalFiller::fill(fill);
        if (!failed.isEmpty())
            fuzz::fail("no journal:", failed);
        QDir().mkpath(strange + QStringLiteral("/podaci"));
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::application();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Directories dirs;
    const QString backup = QStringLiteral("bck-07-12-26-09-05-33.db");
    writeFile(dirs.withJournal + QStringLiteral("/podaci/") + backup, data, size);
    try {
        (void)desk::restore::preview(dirs.withJournal, backup);
    } catch (const engine::EngineError &) {
    }
    writeFile(dirs.strange + QStringLiteral("/podaci/promet.db"), data, size);
    (void)desk::chain::verifyDirectory(dirs.strange, desk::tablePassword());
    return 0;
}
