// Whole-file writes through a temporary file beside the target, written with plain system
// calls so that every failed write (a full disk, a file size limit) is seen at once and not
// hidden in a buffer that is flushed later.
#include "AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <thread>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Runs `call(done)` (a read or write of the rest after `done` bytes, as read(2) answers) until
// all `size` bytes are through.
template <typename Call> bool whole(qsizetype size, Call call)
{
    qsizetype done = 0;
    while (done < size) {
        const ssize_t n = call(done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        done += n;
    }
    return true;
}

} // namespace

bool readAt(int fd, char *data, qsizetype size, qint64 offset)
{
    return whole(size, [&](qsizetype done) {
        return ::pread(fd, data + done, size_t(size - done), off_t(offset + done));
    });
}

bool writeAt(int fd, const char *data, qsizetype size, qint64 offset)
{
    return whole(size, [&](qsizetype done) {
        return offset < 0 ? ::write(fd, data + done, size_t(size - done))
                          : ::pwrite(fd, data + done, size_t(size - done), off_t(offset + done));
    });
}

namespace {

const QString TemporaryPrefix = QStringLiteral(".~dorvanta-");
constexpr int RandomLength = 6;

QString systemReason(int error)
{
    return qt_error_string(error);
}

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

QString randomSuffix()
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString out;
    for (int i = 0; i < RandomLength; ++i)
        out += QLatin1Char(letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))]);
    return out;
}

mode_t modeOf(QFileDevice::Permissions p)
{
    mode_t mode = 0;
    if (p & QFileDevice::ReadOwner) mode |= S_IRUSR;
    if (p & QFileDevice::WriteOwner) mode |= S_IWUSR;
    if (p & QFileDevice::ExeOwner) mode |= S_IXUSR;
    if (p & QFileDevice::ReadGroup) mode |= S_IRGRP;
    if (p & QFileDevice::WriteGroup) mode |= S_IWGRP;
    if (p & QFileDevice::ExeGroup) mode |= S_IXGRP;
    if (p & QFileDevice::ReadOther) mode |= S_IROTH;
    if (p & QFileDevice::WriteOther) mode |= S_IWOTH;
    if (p & QFileDevice::ExeOther) mode |= S_IXOTH;
    return mode;
}

// The mode a new file gets by default: readable and writable by its owner only (less the
// process's umask). What the program writes is the shop's books and their settings.
mode_t defaultMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0600 & ~mask;
}

} // namespace

TemporaryFile::TemporaryFile(const QString &targetPath)
{
    create(targetPath);
}

void TemporaryFile::create(const QString &targetPath)
{
    const QFileInfo target(targetPath);
    const QString folder = target.absolutePath();
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        const QString candidate = folder + u'/' + TemporaryPrefix + target.fileName() + u'-' +
                                  randomSuffix();
        const int fd = ::open(encoded(candidate).constData(),
                              O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            m_error = systemReason(errno);
            return;
        }
        // Held until the file is renamed or removed: it marks the file as in use.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            ::unlink(encoded(candidate).constData());
            continue;
        }
        m_fd = fd;
        m_path = candidate;
    }
    if (m_fd < 0 && m_error.isEmpty())
        m_error = QStringLiteral("cannot create a temporary file in %1").arg(folder);
}

namespace {

// The spare at `path`, open, locked and proven unused (see AtomicWriter), or -1.
int takeSpare(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return -1;
    struct stat held, named;
    // Locked like every temporary file being written; still under that name and no other (a
    // clean-up or another writer may have taken it meanwhile); open nowhere else: the
    // system grants a write lease only on a file that no other descriptor has open.
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 &&
                      S_ISREG(held.st_mode) && held.st_nlink == 1 &&
                      ::lstat(path.constData(), &named) == 0 && named.st_ino == held.st_ino &&
                      named.st_dev == held.st_dev && ::fcntl(fd, F_SETLEASE, F_WRLCK) == 0;
    if (!free) {
        ::close(fd);
        return -1;
    }
    // The lease served as the proof only: a reader opening the file now would wait for it.
    ::fcntl(fd, F_SETLEASE, F_UNLCK);
    return fd;
}

} // namespace

TemporaryFile::TemporaryFile(const QString &targetPath, const QString &sparePath)
{
    const int fd = sparePath.isEmpty() ? -1 : takeSpare(encoded(sparePath));
    if (fd < 0) {
        create(targetPath);
        return;
    }
    m_fd = fd;
    m_path = sparePath;
    m_reused = true;
}

TemporaryFile::~TemporaryFile()
{
    if (m_fd < 0)
        return;
    if (!m_renamed)
        ::unlink(encoded(m_path).constData());
    ::close(m_fd); // releases the lock
}

bool TemporaryFile::renameTo(const QString &targetPath)
{
    if (std::rename(encoded(m_path).constData(), encoded(targetPath).constData()) != 0) {
        m_error = systemReason(errno);
        return false;
    }
    m_renamed = true;
    // The rename itself reaches the disk with the folder.
    const int dir = ::open(encoded(QFileInfo(targetPath).absolutePath()).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

QString spareFileName(const QString &targetPath)
{
    const QFileInfo target(targetPath);
    return target.absolutePath() + u'/' + TemporaryPrefix + target.fileName() +
           QStringLiteral("-rezerva");
}

AtomicWriter::AtomicWriter(const QString &path, QFileDevice::Permissions permissions, Space space)
    : m_path(path), m_keepSpare(space == Space::ReuseSpace),
      m_temp(path, m_keepSpare ? spareFileName(path) : QString())
{
    if (!m_temp.isOpen()) {
        fail(m_temp.errorString());
        return;
    }
    mode_t mode = defaultMode();
    struct stat existing;
    if (permissions)
        mode = modeOf(permissions);
    else if (::stat(encoded(path).constData(), &existing) == 0 && S_ISREG(existing.st_mode))
        mode = existing.st_mode & 07777;
    if (::fchmod(m_temp.handle(), mode) != 0)
        fail(systemReason(errno));
}

bool AtomicWriter::fail(const QString &reason)
{
    if (!m_failed)
        m_error = reason;
    m_failed = true;
    return false;
}

bool AtomicWriter::write(const char *data, qsizetype size)
{
    if (m_failed)
        return false;
    if (!writeAt(m_temp.handle(), data, size, -1))
        return fail(systemReason(errno));
    return true;
}

bool AtomicWriter::copyFrom(int fd, qint64 offset, qint64 size)
{
    if (m_failed)
        return false;
    loff_t from = offset;
    bool inKernel = true;
    // Copied a piece at a time, each piece's way to the disk started at once: the sync at the
    // commit then waits for the last pieces only, not for all the copy has written.
    constexpr qint64 Piece = qint64(16) << 20;
    off_t to = ::lseek(m_temp.handle(), 0, SEEK_CUR);
    while (size > 0) {
        if (inKernel) {
            const ssize_t n = ::copy_file_range(fd, &from, m_temp.handle(), nullptr,
                                                size_t(std::min(size, Piece)), 0);
            if (n > 0) {
                size -= n;
                if (to >= 0) {
                    ::sync_file_range(m_temp.handle(), to, n, SYNC_FILE_RANGE_WRITE);
                    to += n;
                }
                continue;
            }
            if (n == 0)
                return fail(QStringLiteral("the source file ends early"));
            if (errno == EINTR)
                continue;
            // Kernels and file systems without an in-kernel copy between these files.
            if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
                return fail(systemReason(errno));
            inKernel = false;
        }
        char buffer[1 << 16];
        const ssize_t n = ::pread(fd, buffer, size_t(std::min<qint64>(size, sizeof buffer)), from);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(systemReason(errno));
        if (n == 0)
            return fail(QStringLiteral("the source file ends early"));
        if (!write(buffer, n))
            return false;
        from += n;
        size -= n;
    }
    return true;
}

namespace {

// Files from this size on are freed in the background when replaced.
constexpr qint64 ParkedSize = qint64(16) << 20;

// The file at `path`, when it is large, under a second (temporary) name as well, so that the
// rename over it does not free it: the file system frees a file when its last name goes, in
// time of its size. Empty when the file is small or missing or cannot be linked.
QByteArray parkReplaced(const QString &path)
{
    struct stat info;
    const QByteArray target = encoded(path);
    if (::stat(target.constData(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < ParkedSize)
        return {};
    const QFileInfo where(path);
    for (int attempt = 0; attempt < 10; ++attempt) {
        const QByteArray candidate = encoded(where.absolutePath() + u'/' + TemporaryPrefix +
                                             where.fileName() + u'-' + randomSuffix());
        if (::link(target.constData(), candidate.constData()) == 0)
            return candidate;
        if (errno != EEXIST)
            return {};
    }
    return {};
}

} // namespace

bool AtomicWriter::commit()
{
    if (m_failed)
        return false;
    // A spare written over may have been longer than what it holds now.
    if (m_temp.reused()) {
        const off_t end = ::lseek(m_temp.handle(), 0, SEEK_CUR);
        if (end < 0 || ::ftruncate(m_temp.handle(), end) != 0)
            return fail(systemReason(errno));
    }
    if (::fsync(m_temp.handle()) != 0)
        return fail(systemReason(errno));
    const QByteArray parked = parkReplaced(m_path);
    if (!m_temp.renameTo(m_path)) {
        if (!parked.isEmpty())
            ::unlink(parked.constData());
        return fail(m_temp.errorString());
    }
    m_failed = true; // written: a second commit() has nothing to do
    if (parked.isEmpty())
        return true;
    // The old file becomes the spare when that name is free (a link replaces nothing), else it
    // goes in the background; one left by a killed process has the temporary name that
    // removeStaleTemporaryFiles() clears.
    if (m_keepSpare && ::link(parked.constData(), encoded(spareFileName(m_path)).constData()) == 0)
        ::unlink(parked.constData());
    else
        std::thread([parked] { ::unlink(parked.constData()); }).detach();
    return true;
}

bool writeFileAtomically(const QString &path, const QByteArray &data, QString *error,
                         QFileDevice::Permissions permissions)
{
    AtomicWriter writer(path, permissions);
    if (writer.write(data) && writer.commit())
        return true;
    if (error)
        *error = writer.errorString();
    return false;
}

bool isTemporaryFileName(const QString &fileName)
{
    return fileName.startsWith(TemporaryPrefix);
}

int removeStaleTemporaryFiles(const QString &dir)
{
    const QDir folder(dir);
    const QStringList names = folder.entryList(QDir::Files | QDir::Hidden | QDir::System |
                                               QDir::NoDotAndDotDot);
    const auto companion = [](const QString &name) {
        return name.endsWith(QLatin1String("-journal")) || name.endsWith(QLatin1String("-wal")) ||
               name.endsWith(QLatin1String("-shm"));
    };
    int removed = 0;
    // The temporary files themselves: removed when no writer holds their lock.
    for (const QString &name : names) {
        if (!isTemporaryFileName(name) || companion(name))
            continue;
        const QByteArray path = encoded(folder.filePath(name));
        struct stat st;
        if (::lstat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(path.constData()) == 0)
            ++removed;
        ::close(fd);
    }
    // Companions whose database is gone (removed above or never there).
    for (const QString &name : names) {
        if (!isTemporaryFileName(name) || !companion(name))
            continue;
        const QString base = name.left(name.lastIndexOf(u'-'));
        if (QFileInfo::exists(folder.filePath(base)))
            continue;
        if (QFile::remove(folder.filePath(name)))
            ++removed;
    }
    return removed;
}

} // namespace platform
