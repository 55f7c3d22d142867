// The off-site copy's file: what comes back from a copy is the backup byte for byte, and a copy
// read with another key, changed anywhere or cut anywhere is refused without writing anything.

#include "desk/SealedBackup.h"
#include "engine/EngineError.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(data), data.size());
}

struct Case
{
    const char *name;
    qsizetype plainSize;
    // Changes the sealed bytes before they are read back; the key used to read them.
    std::function<void(QByteArray &)> damage;
    bool otherKey;
    const char *refusal; // a part of the reason; nullptr when it reads back
};

TEST(SealedBackupTest, ReadsBackOnlyTheCopyItWrote)
{
    // Larger than one 4 MiB chunk, so that a change in a later chunk is covered too.
    const qsizetype big = (4 << 20) * 2 + 12345;
    const Case cases[] = {
        {"round trip", big, {}, false, nullptr},
        {"empty backup", 0, {}, false, nullptr},
        {"wrong key", 1000, {}, true, "drugim kljucem"},
        {"flipped byte in the data", big, [](QByteArray &b) { b[b.size() - 100] ^= 1; }, false, "izmenjena"},
        {"flipped byte in the first chunk", big, [](QByteArray &b) { b[40] ^= 0x80; }, false, "izmenjena"},
        {"flipped byte in the nonce", 1000, [](QByteArray &b) { b[20] ^= 1; }, false, "izmenjena"},
        {"flipped byte in the tag", 1000, [](QByteArray &b) { b[b.size() - 1] ^= 1; }, false, "izmenjena"},
        {"changed version", 1000, [](QByteArray &b) { b[8] = 2; }, false, "verzija"},
        {"changed magic", 1000, [](QByteArray &b) { b[0] = 'X'; }, false, "nije kopija"},
        {"cut by one byte", big, [](QByteArray &b) { b.chop(1); }, false, "izmenjena"},
        {"cut at a chunk's end", big, [](QByteArray &b) { b.truncate(desk::sealed::HeaderSize + (4 << 20)); }, false, "izmenjena"},
        {"cut to the header", 1000, [](QByteArray &b) { b.truncate(desk::sealed::HeaderSize); }, false, "odsecena"},
        {"empty file", 1000, [](QByteArray &b) { b.clear(); }, false, "nije kopija"},
        {"bytes appended", 1000, [](QByteArray &b) { b.append('\0'); }, false, "izmenjena"},
    };
    const QByteArray key = desk::sealed::newKey();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        QByteArray plain(c.plainSize, '\0');
        for (qsizetype i = 0; i < plain.size(); ++i)
            plain[i] = char(i % 251);
        plain.replace(0, std::min<qsizetype>(plain.size(), 12), "SQLite forma");
        writeAll(dir.filePath("plain.db"), plain);
        desk::sealed::seal(dir.filePath("plain.db"), dir.filePath("copy"), key);
        QByteArray sealed = readAll(dir.filePath("copy"));
        ASSERT_EQ(sealed.size(), plain.size() + desk::sealed::HeaderSize + desk::sealed::TagSize);
        if (plain.size() >= 12) {
            EXPECT_FALSE(sealed.contains("SQLite forma")); // nothing of the backup in the clear
        }
        if (c.damage) {
            c.damage(sealed);
            writeAll(dir.filePath("copy"), sealed);
        }
        const QByteArray readKey = c.otherKey ? desk::sealed::newKey() : key;
        writeAll(dir.filePath("out.db"), "before");
        try {
            desk::sealed::unseal(dir.filePath("copy"), dir.filePath("out.db"), readKey);
            EXPECT_EQ(c.refusal, nullptr);
            EXPECT_TRUE(readAll(dir.filePath("out.db")) == plain);
        } catch (const engine::EngineError &e) {
            ASSERT_NE(c.refusal, nullptr) << qPrintable(e.message());
            EXPECT_TRUE(e.message().contains(QLatin1String(c.refusal))) << qPrintable(e.message());
            EXPECT_EQ(readAll(dir.filePath("out.db")), QByteArray("before"));
            EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
        }
    }
}

TEST(SealedBackupTest, RecoveryTextGivesTheKeyBackAndCatchesATypo)
{
    const QByteArray key = desk::sealed::newKey();
    const QString text = desk::sealed::recoveryText(key);
    EXPECT_EQ(text.size(), 14 * 4 + 13);
    EXPECT_EQ(desk::sealed::keyFromRecoveryText(text), key);
    // As written down by hand: lower case, spaces, an O for a zero.
    QString handwritten = text.toLower().replace(u'-', u' ').replace(u'0', u'o');
    EXPECT_EQ(desk::sealed::keyFromRecoveryText(handwritten), key);
    QString typo = text;
    typo[5] = typo[5] == u'A' ? u'B' : u'A';
    EXPECT_THROW(desk::sealed::keyFromRecoveryText(typo), engine::EngineError);
    EXPECT_THROW(desk::sealed::keyFromRecoveryText(text.left(text.size() - 5)), engine::EngineError);
    EXPECT_THROW(desk::sealed::keyFromRecoveryText(QString(text).replace(0, 1, u'U')), engine::EngineError);
}

} // namespace
