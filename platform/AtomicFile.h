#pragma once

// Writing files whole or not at all: a temporary file beside the target, renamed over it.

#include <QByteArray>
#include <QFileDevice>
#include <QString>

// platform reports failure as Qt does: a function returns false (or an empty std::optional
// when it returns a value) and writes the reason to its `QString *error` argument when one is
// given; an object (TemporaryFile, like QFile) keeps the reason in errorString().

namespace platform {

// Reads `size` bytes at `offset` of the open descriptor `fd` into `data`, or writes them from
// `data` there (a negative offset: at the descriptor's position), in as many calls as it
// takes, repeating interrupted ones. False when the system fails (errno says why) or the file
// ends first (errno EIO then).
bool readAt(int fd, char *data, qsizetype size, qint64 offset);
bool writeAt(int fd, const char *data, qsizetype size, qint64 offset);

// Replaces the file at `path` with `data`: the bytes go to a temporary file in the same
// folder, every write is checked, the file is flushed to disk and then renamed over the
// target, so the target is always either the old whole file or the new whole file (also on
// a full disk, where the write fails and the old file stays). `permissions`, when given, are
// set on the new file before it becomes visible; otherwise an existing target's permissions
// are kept. False on failure, with the system's reason ("No space left on device") in
// `error` when given.
bool writeFileAtomically(const QString &path, const QByteArray &data, QString *error = nullptr,
                         QFileDevice::Permissions permissions = {});

// Temporary files of the program's whole-file writes (exports, option files, backups,
// restores) are named ".~dorvanta-" + the target's name + "-" + six random characters, in the
// target's folder, and are locked (flock) by their writer for as long as it works on them.
// A file of that name that nobody holds locked was left behind by a killed writer.
class TemporaryFile
{
public:
    // Creates and locks a new temporary file beside `targetPath`, readable and writable by
    // its owner only. isOpen() is false on failure, with the reason in errorString().
    explicit TemporaryFile(const QString &targetPath);
    // Takes over the file at `sparePath` (named like a temporary file of `targetPath`) when
    // nobody else uses it (see AtomicWriter's ReuseSpace), else creates a new one as above.
    // reused() says which; a file taken over keeps its old bytes until they are overwritten.
    TemporaryFile(const QString &targetPath, const QString &sparePath);
    // Removes the file unless it was renamed away, and releases the lock.
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int handle() const { return m_fd; }
    const QString &path() const { return m_path; }
    bool reused() const { return m_reused; }
    const QString &errorString() const { return m_error; }
    // Renames the temporary file over `targetPath`; false on failure, with the reason in
    // errorString().
    bool renameTo(const QString &targetPath);

private:
    void create(const QString &targetPath);

    int m_fd = -1;
    QString m_path;
    QString m_error;
    bool m_renamed = false;
    bool m_reused = false;
};

// writeFileAtomically() for a file written in pieces: the pieces go to a TemporaryFile beside
// `path` and only commit() (checked writes, flush to disk, rename) replaces the target; an
// AtomicWriter destroyed without a successful commit() leaves the old file as it was. Every
// call after a failure returns false; the first failure's reason is in errorString().
//
// With ReuseSpace (for a large file rewritten often, the journal export) the file a commit
// replaces is not freed but kept as the target's spare (spareFileName()), and the next writer
// writes over the spare instead of a new file: the disk's blocks and the cached pages are
// reused, which spares the file system allocating and then freeing the whole file at every
// write. The spare is written over only when no other descriptor has it open (a reader still
// reading the file it was, an upload in progress, keeps its bytes: a write lease is granted
// only on a file open nowhere else), when it has no other name and when it is locked by
// nobody; otherwise a new temporary file is written and the spare is left alone. Files under
// 16 MiB are not kept. The spare has the temporary files' name pattern, so the clean-up at
// start-up removes it like any file no writer holds.
class AtomicWriter
{
public:
    enum class Space { New, ReuseSpace };
    explicit AtomicWriter(const QString &path, QFileDevice::Permissions permissions = {},
                          Space space = Space::New);
    bool write(const char *data, qsizetype size);
    bool write(QByteArrayView data) { return write(data.data(), data.size()); }
    // Appends `size` bytes of the open file `fd` from `offset`, copied by the kernel where it
    // can (copy_file_range), else through a buffer. A source shorter than that fails.
    bool copyFrom(int fd, qint64 offset, qint64 size);
    bool commit();
    const QString &errorString() const { return m_error; }

private:
    bool fail(const QString &reason);

    QString m_path;
    bool m_keepSpare;
    TemporaryFile m_temp;
    QString m_error;
    bool m_failed = false;
};

// The name of the spare that AtomicWriter's ReuseSpace keeps beside `targetPath`.
QString spareFileName(const QString &targetPath);

// Whether `fileName` (without folder) has the name pattern of the temporary files above,
// also with the "-journal" or "-wal" companions SQLite puts beside a database.
bool isTemporaryFileName(const QString &fileName);

// Removes from `dir` (not its subfolders) the temporary files of the pattern above that no
// running writer holds, with their companions. Nothing else is touched. Returns how many
// files were removed.
int removeStaleTemporaryFiles(const QString &dir);

} // namespace platform
