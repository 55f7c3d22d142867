// The platform's file helpers on their own: whole-file writes (also on a full disk), the
// temporary files and their clean-up, and the Windows-1250 text files.

#include "platform/AtomicFile.h"
#include "platform/TextFiles.h"
#include "testsupport/FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

class PlatformFiles : public ::testing::Test
{
protected:
    QString path(const QString &name) const { return dir.filePath(name); }
    QStringList files() const
    {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    // Owner, group and other permissions.
    QFileDevice::Permissions mode(const QString &name) const
    {
        return QFile::permissions(path(name)) & QFileDevice::Permissions(0x7077);
    }
    QByteArray read(const QString &name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }
    void touch(const QString &name) const
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(PlatformFiles, AWholeFileWriteReplacesTheTargetOrLeavesItAsItWas)
{
    QString error;
    ASSERT_TRUE(platform::writeFileAtomically(path("a.txt"), "old", &error)) << error.toStdString();
    QFile::setPermissions(path("a.txt"), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    ASSERT_TRUE(platform::writeFileAtomically(path("a.txt"), "new"));
    EXPECT_EQ(read("a.txt"), "new");
    EXPECT_EQ(mode("a.txt"),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther); // kept
    ASSERT_TRUE(platform::writeFileAtomically(path("a.txt"), "x", nullptr,
                                              QFile::ReadOwner | QFile::WriteOwner));
    EXPECT_EQ(mode("a.txt"), QFile::ReadOwner | QFile::WriteOwner);

    // A full disk: the write fails with the system's reason, the old file stays whole and no
    // temporary file is left.
    ASSERT_TRUE(platform::writeFileAtomically(path("a.txt"), QByteArray(4096, 'z')));
    EXPECT_EQ(runWithFileSizeLimit(100, [&] {
                  const bool written =
                      platform::writeFileAtomically(path("a.txt"), QByteArray(4096, 'y'), &error);
                  return !written && error == QLatin1String("File too large") ? 0 : 1;
              }),
              0);
    EXPECT_EQ(read("a.txt"), QByteArray(4096, 'z'));
    // A folder where the file should go is not replaced either.
    ASSERT_TRUE(QDir(dir.path()).mkdir("b.txt"));
    EXPECT_FALSE(platform::writeFileAtomically(path("b.txt"), "x", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(files(), QStringList{"a.txt"});
}

// A file written in pieces, part of it copied from another file: a large target replaced
// leaves no second name behind once the background removal ran; a copy from a source that
// ends early, or one beyond the size limit, fails and leaves the old target whole.
TEST_F(PlatformFiles, APieceWriterCopiesFromAFileAndReplacesALargeTargetWhole)
{
    const QByteArray source = QByteArray(17 << 20, 's') + "end";
    ASSERT_TRUE(platform::writeFileAtomically(path("source"), source));
    ASSERT_TRUE(platform::writeFileAtomically(path("big.txt"), QByteArray(17 << 20, 'o')));
    QFile in(path("source"));
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    {
        platform::AtomicWriter out(path("big.txt"));
        EXPECT_TRUE(out.write("head "));
        EXPECT_TRUE(out.copyFrom(in.handle(), 1, source.size() - 1));
        ASSERT_TRUE(out.commit()) << out.errorString().toStdString();
    }
    EXPECT_EQ(read("big.txt"), "head " + source.mid(1));
    for (int i = 0; i < 200 && files().size() > 2; ++i)
        QThread::msleep(10); // the old file's second name goes in the background
    EXPECT_EQ(files(), (QStringList{"big.txt", "source"}));

    const QByteArray before = read("big.txt");
    {
        platform::AtomicWriter out(path("big.txt"));
        EXPECT_FALSE(out.copyFrom(in.handle(), 10, source.size()));
        EXPECT_FALSE(out.commit());
        EXPECT_EQ(out.errorString(), QStringLiteral("the source file ends early"));
    }
    EXPECT_EQ(runWithFileSizeLimit(1 << 20, [&] {
                  platform::AtomicWriter out(path("big.txt"));
                  return !out.copyFrom(in.handle(), 0, source.size()) && !out.commit() ? 0 : 1;
              }),
              0);
    EXPECT_EQ(read("big.txt"), before);
    EXPECT_EQ(files(), (QStringList{"big.txt", "source"}));
}

// Writing over a large target's spare: exactly each write's bytes, the spare used only when
// nobody holds it (a reader of the file it was keeps that file; one with another name keeps
// its bytes), the target whole after a failed write, the spare cleared like temporary files.
TEST_F(PlatformFiles, AWriterReusingSpaceNeverTouchesAFileSomebodyHolds)
{
    const QString spare = QFileInfo(platform::spareFileName(path("big.txt"))).fileName();
    const auto write = [&](char c, qsizetype size) {
        platform::AtomicWriter out(path("big.txt"), {}, platform::AtomicWriter::Space::ReuseSpace);
        return out.write(QByteArray(size, c)) && out.commit();
    };
    constexpr qsizetype Big = 17 << 20;
    ASSERT_TRUE(write('a', Big));
    ASSERT_TRUE(write('b', Big + 3));
    EXPECT_EQ(files(), (QStringList{spare, "big.txt"}));
    ASSERT_TRUE(write('c', Big - 5)); // over the longer spare, which the replaced file becomes
    EXPECT_EQ(read("big.txt"), QByteArray(Big - 5, 'c'));
    EXPECT_EQ(read(spare), QByteArray(Big + 3, 'b'));

    QFile reader(path("big.txt"));
    ASSERT_TRUE(reader.open(QIODevice::ReadOnly));
    ASSERT_TRUE(write('d', Big));
    ASSERT_TRUE(write('e', Big)); // the spare is the reader's file now
    ASSERT_TRUE(write('f', Big));
    EXPECT_EQ(reader.readAll(), QByteArray(Big - 5, 'c'));
    reader.close();
    EXPECT_EQ(read("big.txt"), QByteArray(Big, 'f'));

    ASSERT_EQ(::link(QFile::encodeName(path(spare)).constData(),
                     QFile::encodeName(path("linked")).constData()), 0);
    const QByteArray linked = read("linked");
    ASSERT_TRUE(write('g', Big));
    EXPECT_EQ(read("linked"), linked);

    EXPECT_EQ(runWithFileSizeLimit(1 << 20, [&] { return write('h', Big) ? 1 : 0; }), 0);
    EXPECT_EQ(read("big.txt"), QByteArray(Big, 'g'));
    platform::removeStaleTemporaryFiles(dir.path());
    EXPECT_FALSE(files().contains(spare));
}

TEST_F(PlatformFiles, CleanUpRemovesOnlyTheTemporaryFilesNobodyHolds)
{
    const QStringList stale = {".~dorvanta-podaci.txt-a1B2c3", ".~dorvanta-promet.db-x",
                               ".~dorvanta-promet.db-x-journal", ".~dorvanta-promet.db-y-journal"};
    const QStringList kept = {"podaci.txt.a1B2c3", ".promet.db.a1B2c3", "bck-~dorvanta-1.db",
                              "promet.db.1234.tmp"};
    for (const QString &name : stale + kept)
        touch(name);
    // A write still in progress (another desk's backup) keeps its file.
    platform::TemporaryFile live(path("promet.db"));
    ASSERT_TRUE(live.isOpen());
    EXPECT_TRUE(platform::isTemporaryFileName(QFileInfo(live.path()).fileName()));
    EXPECT_EQ(platform::removeStaleTemporaryFiles(dir.path()), stale.size());
    QStringList left = kept;
    left << QFileInfo(live.path()).fileName();
    left.sort();
    QStringList now = files();
    now.sort();
    EXPECT_EQ(now, left);

    // Renamed away it is the target; dropped unrenamed it is gone.
    ASSERT_TRUE(live.renameTo(path("promet.db")));
    {
        platform::TemporaryFile dropped(path("podaci.txt"));
        ASSERT_TRUE(dropped.isOpen());
    }
    EXPECT_EQ(files().size(), kept.size() + 1);
}

TEST(TextFiles, LinesAreWindows1250WithCrLfAndReadBackWhateverTheirEnds)
{
    const QString serbian = QString::fromUtf8("Šime Ćorić, čaj i šećer, Đurđa Žeželj");
    const QByteArray bytes = platform::toWindows1250(serbian);
    EXPECT_EQ(bytes.size(), serbian.size()); // one byte per letter
    EXPECT_TRUE(bytes.startsWith("\x8A" "ime \xC6" "ori\xE6"));
    EXPECT_EQ(platform::fromWindows1250(bytes), serbian);
    EXPECT_FALSE(platform::toWindows1250(QString::fromUtf8("中")).isEmpty()); // never dropped
    EXPECT_TRUE(platform::fitsWindows1250Line(serbian));
    for (const QString &unfit : {QString::fromUtf8("tajna😀"), QString::fromUtf8("中"),
                                 QStringLiteral("a\rb"), QStringLiteral("a\nb"), QString(QChar(0x7F))})
        EXPECT_FALSE(platform::fitsWindows1250Line(unfit)) << unfit.toStdString();
    EXPECT_EQ(platform::withoutControlCharacters(QStringLiteral("a\r\nb\tc") + QChar(0x7F)),
              QStringLiteral("a  b c "));

    QTemporaryDir dir;
    const QString file = dir.filePath("ftpop.txt");
    ASSERT_TRUE(platform::saveLines(file, {"1", serbian, ""}));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "1\r\n" + bytes + "\r\n\r\n");
    f.close();
    EXPECT_EQ(platform::loadLines(file), (QStringList{"1", serbian, ""}));
    ASSERT_TRUE(platform::writeFileAtomically(file, "a\nb\rc\r\nd"));
    EXPECT_EQ(platform::loadLines(file), (QStringList{"a", "b", "c", "d"}));
    QString error;
    EXPECT_EQ(platform::loadLines(dir.filePath("none.txt"), &error), std::nullopt);
    EXPECT_FALSE(error.isEmpty());
}
