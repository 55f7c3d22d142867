// The export's cache file (podaci, beside the journal) as the disk hands it back: truncated,
// edited, half written or made by something else. Whatever the cache holds, the export written
// with it is byte for byte the export made from the journal alone. The cache names its journal
// by location, and this one's lies in a folder made for the run: "JOURNAL" (hex-encoded, as the
// cache holds it) in the input stands for it, so a seed can be a cache of this journal.

#include "FuzzSupport.h"

#include "app/ExportCache.h"
#include "app/JournalExport.h"
#include "desk/DeskTables.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "engine/TextForms.h"
#include "testsupport/JournalFiller.h"

#include <QFile>

namespace {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Journal
{
    QString dir = fuzz::workDir() + QStringLiteral("/export");
    engine::Session session;
    std::unique_ptr<engine::Table> table;
    engine::DateTextFormat form{QStringLiteral("dd/MM/yyyy")};
    QByteArray heading = journal_export::headingBytes(QStringLiteral("07/12/2026"),
                                                      QStringLiteral("1000.00"),
                                                      QStringLiteral("10.00"));
    QString cache = dir + QStringLiteral("/podaci/") + journal_export::CacheFileName;
    QString target = dir + QStringLiteral("/podaci.txt");
    QByteArray expected;

    Journal()
    {
        testsupport::FillOptions fill;
        fill.directory = dir;
        fill.postings = 40;
        fill.firstDay = QDate(2026, 11, 1);
        const QString failed = testsupport::JournalFiller::fill(fill);
        if (!failed.isEmpty())
            fuzz::fail("no journal:", failed);
        session.setPassword(desk::tablePassword());
        table = std::make_unique<engine::Table>(session, dir + QStringLiteral("/podaci/promet.db"));
        table->open();
        QFile::remove(cache);
        QString error;
        if (!journal_export::writeExport(*table, form, heading, target, cache, &error))
            fuzz::fail("no export:", error);
        expected = readFile(target);
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
    static Journal journal;
    static const QByteArray location = journal.table->filePath().toUtf8().toHex();
    {
        QFile f(journal.cache);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            fuzz::fail("cannot write the cache");
        f.write(fuzz::bytes(data, size).replace(QByteArray("JOURNAL").toHex(), location));
    }
    QString error;
    fuzz::check(journal_export::writeExport(*journal.table, journal.form, journal.heading,
                                            journal.target, journal.cache, &error),
                "export not written:", error);
    fuzz::check(readFile(journal.target) == journal.expected, "the export differs with a cache of",
                QString::number(size) + QStringLiteral(" bytes"));
    return 0;
}
