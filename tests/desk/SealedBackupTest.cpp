// The off-site copy's file: what comes back from a copy is the backup byte for byte, and a copy
// read with another key, changed anywhere or cut anywhere is refused without writing anything.
// The targets: what they keep over the years, and a target with nothing on it.

#include "desk/Offsite.h"
#include "desk/SealedBackup.h"
#include "engine/EngineError.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QDateTime>
#include <QFileInfo>
#include <QSet>
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

// "2026-12-10-06-20-00.dvr" for a day counted from 2010-01-01 and an hour.
QString copyOn(int day, int hour = 12)
{
    return QDateTime(QDate(2010, 1, 1).addDays(day), QTime(hour, 0)).toString(QStringLiteral("yyyy-MM-dd-HH-mm-ss")) +
           QStringLiteral(".dvr");
}

TEST(OffsiteTest, KeepsTheNewestThirtyAndTheLastOfEachMonthForTenYears)
{
    struct Retention
    {
        const char *name;
        QStringList copies;
        qsizetype kept;
        QStringList mustKeep;
        QStringList mustDrop;
    };
    QStringList daily, twice, years;
    for (int d = 0; d < 100; ++d) // 2010-01-01 .. 2010-04-10
        daily += copyOn(d);
    for (int d = 0; d < 60; ++d) // 2010-01-01 .. 2010-03-01
        twice << copyOn(d, 9) << copyOn(d, 18);
    for (int d = 0; d < 12 * 365; d += 7) // weekly for twelve years
        years += copyOn(d);
    const Retention cases[] = {
        {"fewer than thirty", daily.mid(0, 12), 12, {}, {}},
        // Days 70-99 are the newest thirty; January's and February's last days stay.
        {"a hundred days", daily, 32, {copyOn(99), copyOn(70), copyOn(30), copyOn(58)}, {copyOn(69), copyOn(31)}},
        {"two a day", twice, 31, {copyOn(59, 18), copyOn(45, 9), copyOn(30, 18)}, {copyOn(30, 9), copyOn(44, 18)}},
        // The newest thirty weeks, then one a month back to the 120th month: none older.
        {"twelve years", years, 30 + 113, {years.last()}, {copyOn(0), copyOn(7 * 52)}},
        {"other files left alone", {QStringLiteral("notes.txt"), copyOn(1)}, 1, {copyOn(1)}, {}},
    };
    for (const Retention &c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList kept = desk::offsite::keep(c.copies);
        EXPECT_EQ(kept.size(), c.kept) << qPrintable(kept.join(u' '));
        for (const QString &n : c.mustKeep)
            EXPECT_TRUE(kept.contains(n)) << qPrintable(n);
        for (const QString &n : c.mustDrop)
            EXPECT_FALSE(kept.contains(n)) << qPrintable(n);
        // Every month of the last ten years that had a copy still has one.
        QSet<QString> months, keptMonths;
        for (const QString &n : c.copies)
            if (desk::offsite::isCopyName(n) && n < kept.first() && kept.first().left(4).toInt() - n.left(4).toInt() < 9)
                months.insert(n.left(7));
        for (const QString &n : kept)
            keptMonths.insert(n.left(7));
        EXPECT_TRUE(keptMonths.contains(months));
    }
}

TEST(OffsiteTest, AnEmptyOrMissingTargetIsSaidSoAndTheBackupStands)
{
    QTemporaryDir shop, usb;
    ASSERT_TRUE(QDir(shop.path()).mkpath(QStringLiteral("podaci")));
    writeAll(shop.filePath("podaci/bck-10-12-26-06-20-00.db"), "SQLite forma");
    const QString text = desk::offsite::init(shop.path(), {usb.path(), false});
    EXPECT_EQ(desk::sealed::keyFromRecoveryText(text), desk::offsite::key(shop.path()));
    EXPECT_TRUE(desk::offsite::list(shop.path(), desk::offsite::settings(shop.path())).isEmpty());
    EXPECT_THROW(desk::offsite::fetch(shop.path(), desk::offsite::settings(shop.path()),
                                      QStringLiteral("2026-12-10-06-20-00.dvr"),
                                      desk::offsite::key(shop.path()), QStringLiteral("bck-x.db")),
                 engine::EngineError);
    EXPECT_EQ(desk::offsite::statusLine(shop.path()), QStringLiteral("Kopija van lokacije jos nije snimljena"));
    const QDateTime now(QDate(2026, 12, 10), QTime(6, 20));
    EXPECT_EQ(desk::offsite::send(shop.path(), QStringLiteral("bck-10-12-26-06-20-00.db"), now),
              QStringLiteral("Kopija van lokacije: fascikla %1/2026-12-10-06-20-00.dvr")
                  .arg(desk::offsite::folderOfCopies(usb.path())));
    EXPECT_TRUE(desk::offsite::statusLine(shop.path()).startsWith(
        QStringLiteral("Poslednja kopija van lokacije: 2026-12-10-06-20-00.dvr, 10/12/2026 06:20")));
    // The disk taken away: the copy fails, says why, and the page shows it.
    ASSERT_TRUE(QDir(desk::offsite::folderOfCopies(usb.path())).removeRecursively());
    const QString failed = desk::offsite::send(shop.path(), QStringLiteral("bck-10-12-26-06-20-00.db"), now);
    EXPECT_TRUE(failed.contains(QLatin1String("NIJE snimljena"))) << qPrintable(failed);
    EXPECT_TRUE(desk::offsite::statusLine(shop.path()).contains(QLatin1String("disk prikljucen")));
    EXPECT_FALSE(QFileInfo::exists(desk::offsite::folderOfCopies(usb.path())));

    // An FTP target that cannot be made (no FTP in this program) costs the folder nothing.
    ASSERT_TRUE(QDir(usb.path()).mkpath(QStringLiteral("dorvanta-rezerva")));
    writeAll(shop.filePath("podaci/rezerva.txt"), ("FASCIKLA " + usb.path() + "\nFTP\n").toUtf8());
    const QString both = desk::offsite::send(shop.path(), QStringLiteral("bck-10-12-26-06-20-00.db"), now);
    EXPECT_TRUE(both.contains(QStringLiteral("Kopija van lokacije: fascikla "))) << qPrintable(both);
    EXPECT_TRUE(both.contains(QStringLiteral("NIJE snimljena (FTP)"))) << qPrintable(both);
    EXPECT_TRUE(QFileInfo::exists(desk::offsite::folderOfCopies(usb.path()) +
                                  QStringLiteral("/2026-12-10-06-20-00.dvr")));
}

} // namespace
