#pragma once

// The journal export written in time of the new records: the encoded record lines of the
// export (its body) are kept in a cache file beside the journal, so that a posting encodes
// only the records stored since, and writes the heading, the cached body and the new lines
// as one whole-file write of the export.
//
// The cache is an optimisation only: the file written is always byte for byte the one
// buildFile() makes of the journal at that moment. The cache holds, in a header of its own,
// what it was made of: the journal (its location), the date form, the number of records,
// the id of the last one and a mark of its stored fields, the length and a checksum (XXH3 of
// each MiB chained, so that an append costs its own bytes) of the body, and the modification
// time the program gave the file. It is used when the journal still has exactly that many
// records up to that id, that last record unchanged, and the file still has its size and that
// time (else its body is read against the checksum); any other journal (cleared, restored,
// another journal or date form, records gone or put in between) or cache (truncated, edited,
// half written) is rebuilt from the whole journal. The body is copied into the export by the
// kernel, over the spare the last export left (platform::AtomicWriter's ReuseSpace), so a
// posting on a long journal costs about a write of the export.
// A cache that cannot be written is left out: the export is written all the same.
//
// The records after the cached ones are read with Table::scanAfter, so on the server only
// they are sent. Desks sharing the folder take turns on the cache (flock).

#include <QByteArray>
#include <QString>

namespace engine {
class Table;
class DateTextFormat;
} // namespace engine

namespace journal_export {

// The cache file's name in the data directory's "podaci" folder.
extern const QString CacheFileName;

// What one writeExport() did, for tests and measurements.
struct ExportOutcome
{
    bool rebuilt = false;  // the body was made from the whole journal
    qint64 newRecords = 0; // records encoded
};

// Writes the export of the open `journal` (dates in `dateForm`) with the heading `heading`
// (headingBytes()) to `exportPath` through platform::AtomicWriter, using and then updating
// the cache at `cachePath`. False, with the reason in `error`, when the export could not be
// written (the old file then stays); throws the engine's error when the journal cannot be read.
bool writeExport(const engine::Table &journal, const engine::DateTextFormat &dateForm,
                 const QByteArray &heading, const QString &exportPath, const QString &cachePath,
                 QString *error, ExportOutcome *outcome = nullptr);

} // namespace journal_export
