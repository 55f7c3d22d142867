// The off-site copy's file: what comes back from a copy is the backup byte for byte, and a copy
// read with another key, changed anywhere or cut anywhere is refused without writing anything.
// The targets: what they keep over the years, and a target with nothing on it. The whole shop
// through a copy and back into a new computer's data directory, over both stores, and the
// copies a restore refuses.

#include "testsupport/EngineFixture.h"

#include "desk/CashBook.h"
#include "desk/CashCount.h"
#include "desk/DataDirectory.h"
#include "desk/DeskSettings.h"
#include "desk/JournalChain.h"
#include "desk/Offsite.h"
#include "desk/OffsiteRestore.h"
#include "desk/Posting.h"
#include "desk/SealedBackup.h"
#include "desk/SigningKey.h"
#include "engine/EngineError.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QDateTime>
#include <QFileInfo>
#include <QMap>
#include <QSet>
#include <QTemporaryDir>

#include <optional>

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
        {"unknown version", 1000, [](QByteArray &b) { b[8] = 3; }, false, "verzija"},
        {"older copy read as a labelled one", 1000, [](QByteArray &b) { b[8] = 2; }, false, "izmenjena"},
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
            // Another key is the caller's to change; any other difference is a damaged copy.
            EXPECT_EQ(e.kind(), c.otherKey ? engine::EngineError::Kind::Refused
                                           : engine::EngineError::Kind::Damaged);
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
    // A mistyped text is refused, to be typed again; a key of the wrong size is a bad value.
    for (const QString &wrong : {typo, text.left(text.size() - 5), QString(text).replace(0, 1, u'U')}) {
        try {
            desk::sealed::keyFromRecoveryText(wrong);
            ADD_FAILURE() << qPrintable(wrong);
        } catch (const engine::EngineError &e) {
            EXPECT_EQ(e.kind(), engine::EngineError::Kind::Refused) << qPrintable(wrong);
        }
    }
    try {
        desk::sealed::recoveryText(key.left(16));
        ADD_FAILURE() << "a short key was taken";
    } catch (const engine::EngineError &e) {
        EXPECT_EQ(e.kind(), engine::EngineError::Kind::Value);
    }
    try {
        desk::sealed::inspect(QStringLiteral("/nonexistent/copy.dvr"), key);
        ADD_FAILURE() << "a missing copy was read";
    } catch (const engine::EngineError &e) {
        EXPECT_EQ(e.kind(), engine::EngineError::Kind::File);
    }
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
    ASSERT_EQ(desk::DataDirectory::createTables(shop.path()), QString());
    ASSERT_TRUE(QFile::copy(shop.filePath("podaci/promet.db"), shop.filePath("podaci/bck-10-12-26-06-20-00.db")));
    // No target set up yet: nothing to copy, and nothing left of an earlier report.
    QString none = QStringLiteral("earlier");
    EXPECT_TRUE(desk::offsite::send(shop.path(), QStringLiteral("bck-10-12-26-06-20-00.db"),
                                    QDateTime::currentDateTime(), &none));
    EXPECT_EQ(none, QString());
    const QString text = desk::offsite::init(shop.path(), {usb.path(), false});
    EXPECT_EQ(desk::sealed::keyFromRecoveryText(text), desk::offsite::key(shop.path()));
    EXPECT_TRUE(desk::offsite::list(shop.path(), desk::offsite::settings(shop.path())).isEmpty());
    EXPECT_THROW(desk::offsite::fetch(shop.path(), desk::offsite::settings(shop.path()),
                                      QStringLiteral("2026-12-10-06-20-00.dvr"),
                                      desk::offsite::key(shop.path()), QStringLiteral("bck-x.db")),
                 engine::EngineError);
    EXPECT_EQ(desk::offsite::statusLine(shop.path()), QStringLiteral("Kopija van lokacije jos nije snimljena"));
    const QDateTime now(QDate(2026, 12, 10), QTime(6, 20));
    QString sent;
    EXPECT_TRUE(desk::offsite::send(shop.path(), QStringLiteral("bck-10-12-26-06-20-00.db"), now, &sent));
    EXPECT_EQ(sent, QStringLiteral("Kopija van lokacije: fascikla %1/2026-12-10-06-20-00.dvr")
                        .arg(desk::offsite::folderOfCopies(usb.path())));
    EXPECT_TRUE(desk::offsite::statusLine(shop.path()).startsWith(
        QStringLiteral("Poslednja kopija van lokacije: 2026-12-10-06-20-00.dvr, 10/12/2026 06:20")));
    // A computer that has sent nothing yet still names the copies the folder holds.
    const QByteArray state = readAll(shop.filePath("podaci/rezerva-stanje.txt"));
    ASSERT_TRUE(QFile::remove(shop.filePath("podaci/rezerva-stanje.txt")));
    EXPECT_EQ(desk::offsite::statusLine(shop.path()),
              QStringLiteral("Ovaj racunar jos nije snimio kopiju van lokacije; na cilju je 1 kopija, "
                             "najnovija 2026-12-10-06-20-00.dvr"));
    writeAll(shop.filePath("podaci/rezerva-stanje.txt"), state);
    // The disk taken away: the copy fails, says why, and the page shows it.
    ASSERT_TRUE(QDir(desk::offsite::folderOfCopies(usb.path())).removeRecursively());
    QString failed;
    EXPECT_FALSE(desk::offsite::send(shop.path(), QStringLiteral("bck-10-12-26-06-20-00.db"), now, &failed));
    EXPECT_TRUE(failed.contains(QLatin1String("NIJE snimljena"))) << qPrintable(failed);
    EXPECT_TRUE(desk::offsite::statusLine(shop.path()).contains(QLatin1String("disk prikljucen")));
    EXPECT_FALSE(QFileInfo::exists(desk::offsite::folderOfCopies(usb.path())));

    // An FTP target that cannot be made (no FTP in this program) costs the folder nothing.
    ASSERT_TRUE(QDir(usb.path()).mkpath(QStringLiteral("dorvanta-rezerva")));
    writeAll(shop.filePath("podaci/rezerva.txt"), ("FASCIKLA " + usb.path() + "\nFTP\n").toUtf8());
    // One target failed of two: the copy as a whole is not made.
    QString both;
    EXPECT_FALSE(desk::offsite::send(shop.path(), QStringLiteral("bck-10-12-26-06-20-00.db"), now, &both));
    EXPECT_TRUE(both.contains(QStringLiteral("Kopija van lokacije: fascikla "))) << qPrintable(both);
    EXPECT_TRUE(both.contains(QStringLiteral("NIJE snimljena (FTP)"))) << qPrintable(both);
    EXPECT_TRUE(QFileInfo::exists(desk::offsite::folderOfCopies(usb.path()) +
                                  QStringLiteral("/2026-12-10-06-20-00.dvr")));
}

} // namespace

// ---------------------------------------------------------------------------------------
// The whole shop through a copy

namespace {

namespace offsite = desk::offsite;
using engine::Money;

const QString BackupName = QStringLiteral("bck-31-12-26-16-01-33.db");
const QString CopyName = QStringLiteral("2026-12-31-16-01-33.dvr");
const QDateTime CopyMoment(QDate(2026, 12, 31), QTime(16, 1, 33));

// What a shop is made of, read through a session of its own.
struct Shop
{
    QMap<QString, QList<QStringList>> tables; // every record of the four, as text
    QList<QVariantList> closes;
    QList<QVariantList> log;
    QList<QVariantList> counts;
    QList<QVariantList> settings;
    QByteArray ftpOptions;
    QString fingerprint;
    QString identity;
    desk::chain::Verdict verdict;
};

Shop readShop(const QString &dir)
{
    Shop shop;
    engine::Session own;
    own.setBaseDir(dir);
    own.setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
    own.setPassword(desk::tablePassword());
    for (const QString name : {"korisnici", "aktivnost", "grupe", "promet"}) {
        engine::Table t(own, QStringLiteral("podaci/%1.db").arg(name));
        t.open();
        for (t.first(); !t.eof(); t.next()) {
            QStringList row;
            for (const QString &field : t.fieldNames())
                row << t.fieldText(field);
            shop.tables[name] << row;
        }
        if (name == QLatin1String("promet")) {
            // The figures each close fixed. (A copy of a server's journal is chained anew, which
            // forgets the heads its closes kept.)
            shop.closes = t.runBeside(QStringLiteral(
                "SELECT DATUM, BROJ, KORISNIK, VREME, PRETHODNODIN, ULAZDIN, IZLAZDIN, STANJEDIN, "
                "PRETHODNOEUR, ULAZEUR, IZLAZEUR, STANJEEUR FROM dorvanta_zakljucak ORDER BY DATUM"));
            shop.log = t.runBeside(QStringLiteral(
                "SELECT RB, VREME, KORISNIK, RADNJA, OPIS, HES FROM dorvanta_dnevnik ORDER BY RB"));
            shop.settings = t.runBeside(QStringLiteral(
                "SELECT KLJUC, VREDNOST FROM dorvanta_postavke ORDER BY KLJUC"));
            for (const desk::cashcount::Count &c : desk::cashcount::ofDay(t, QDate(2026, 12, 31)))
                shop.counts << QVariantList{c.number, c.countedBy, c.counted.toText(), c.book.toText(), c.document};
        }
        t.close();
    }
    own.close();
    QFile options(QDir(dir).filePath(QStringLiteral("podaci/ftpop.txt")));
    if (options.open(QIODevice::ReadOnly))
        shop.ftpOptions = options.readAll();
    shop.fingerprint = desk::signing::fingerprintOf(dir);
    shop.identity = desk::DataDirectory::identity(dir);
    shop.verdict = desk::chain::verifyDirectory(dir, desk::tablePassword());
    return shop;
}

desk::Posting posting(const char *cashier, const QDate &day, const char *time, desk::Direction direction,
                      qint64 dinars, const char *reason)
{
    desk::Posting p;
    p.cashier = QString::fromLatin1(cashier);
    p.day = day;
    p.time = QString::fromLatin1(time);
    p.direction = direction;
    p.amount = Money::fromUnits(dinars);
    p.reason = p.group = QString::fromLatin1(reason);
    return p;
}

class OffsiteCopyTest : public StoreFixture
{
protected:
    // A week of the shop in brief: users, lists, the FTP option, postings, a limit, a count, a
    // close and their log entries; its off-site folder set up and the copy of 31/12/2026 sent.
    void makeShop()
    {
        {
            OpenTable users(session, QStringLiteral("podaci/korisnici.db"));
            for (const auto &[code, name] : {std::pair{"12345", "Admin"}, {"222", "Marko Markovic"}}) {
                users.insert();
                users.setFieldText(QStringLiteral("SIFRA"), QString::fromLatin1(code));
                users.setFieldText(QStringLiteral("IMEIPREZIME"), QString::fromLatin1(name));
                users.post();
            }
            users.close();
        }
        desk::DataDirectory::addRecords(session, QStringLiteral("aktivnost.db"), QStringLiteral("AKTIVNOST"),
                                        {QStringLiteral("Uplata pazara"), QStringLiteral("Gorivo")});
        desk::DataDirectory::addRecords(session, QStringLiteral("grupe.db"), QStringLiteral("GRUPA"),
                                        {QStringLiteral("Pazar"), QStringLiteral("Troskovi")});
        writeAll(dataFile(QStringLiteral("ftpop.txt")), "1\r\n127.0.0.1\r\nkasa\r\n");
        ASSERT_TRUE(desk::signing::ensureKey(dir.path()));
        offsite::init(dir.path(), {usb.path(), false});
        key = offsite::key(dir.path());
        {
            OpenTable journal(session, QStringLiteral("podaci/promet.db"));
            desk::cashbook::prepare(journal);
            const QDate day(2026, 12, 31);
            desk::post(journal, posting("Marko Markovic", day, "09:00:00", desk::Direction::In, 7700, "Pazar"),
                       session.dateFormat());
            desk::post(journal, posting("Marko Markovic", day, "10:00:00", desk::Direction::Out, 1200, "Gorivo"),
                       session.dateFormat());
            desk::settings::Shared shared;
            shared.limitDinars = Money::fromUnits(50000);
            shared.blindCount = true;
            desk::settings::write(journal, shared, QStringLiteral("Admin"));
            desk::cashcount::record(journal, day, desk::Currency::Dinars,
                                    desk::cashcount::parse(QStringLiteral("5000x1,1000x1,500x1"),
                                                           desk::Currency::Dinars),
                                    QStringLiteral("Admin"), QDateTime(day, QTime(15, 0)),
                                    session.dateFormat());
            desk::cashbook::closeDay(journal, day, QStringLiteral("Admin"), QDateTime(day, QTime(16, 0)));
            journal.close();
        }
        desk::cashbook::backupJournal(session, BackupName);
        QString sent;
        ASSERT_TRUE(offsite::send(dir.path(), BackupName, CopyMoment, &sent)) << qPrintable(sent);
        ASSERT_EQ(sent, QStringLiteral("Kopija van lokacije: fascikla %1/%2")
                            .arg(offsite::folderOfCopies(usb.path()), CopyName));
    }

    // A new computer's data directory, on the same kind of store, with its own administrator,
    // its own new signing key and the copies' folder set up with the recovery text.
    void makeNewComputer()
    {
        if (onServer()) {
            ASSERT_EQ(PgCluster::shared().reset(), QString()); // the old shop's server is gone too
        }
        desk::InitOptions options;
        options.directory = fresh.path();
        options.adminCode = QStringLiteral("999");
        options.server = onServer() ? PgCluster::shared().uri() : QString();
        ASSERT_EQ(desk::DataDirectory::create(options), QString());
        ASSERT_TRUE(desk::cashbook::prepareDirectory(fresh.path(), desk::tablePassword()));
        ASSERT_TRUE(desk::signing::ensureKey(fresh.path()));
        offsite::init(fresh.path(), {usb.path(), false}, key);
    }

    QTemporaryDir usb;
    QTemporaryDir fresh;
    QByteArray key;
};

INSTANTIATE_STORES(OffsiteCopyTest);

} // namespace

// The shop's computer is lost: a new one restores the copy from the folder with the recovery
// text and has the whole shop back, its log and its signing key included, and its chain ends
// at the head the copy's reports printed.
TEST_P(OffsiteCopyTest, ACopyBringsTheWholeShopBackIntoAFreshDirectory)
{
    makeShop();
    const Shop before = readShop(dir.path());
    ASSERT_TRUE(before.verdict.ok()) << before.verdict.text().toStdString();
    ASSERT_EQ(before.counts.size(), 1);
    makeNewComputer();
    const QString newKey = desk::signing::fingerprintOf(fresh.path());
    ASSERT_NE(newKey, before.fingerprint);

    // What the copy vouches for, read without restoring anything.
    const QList<offsite::CopyLabel> anchors = offsite::labels(fresh.path());
    ASSERT_EQ(anchors.size(), 1);
    EXPECT_EQ(anchors.front().error, QString());
    EXPECT_EQ(anchors.front().label.sealedAt, CopyMoment);
    EXPECT_EQ(anchors.front().label.identity, before.identity);

    offsite::OffsiteRestore restoring(fresh.path(), offsite::settings(fresh.path()), CopyName, key);
    EXPECT_EQ(restoring.question(),
              QStringLiteral("Kopija od 31/12/2026 16:01:33, poslednji dokument I-2026-000001"));
    EXPECT_EQ(restoring.label().chainHead, before.verdict.head);
    EXPECT_EQ(restoring.label().records, 2);
    EXPECT_TRUE(restoring.adoptsIdentity());
    const QString said = restoring.run(QStringLiteral("Admin"), CopyMoment.addDays(3));
    EXPECT_TRUE(said.contains(QStringLiteral("Kljuc potpisa vracen iz kopije: otisak %1 (umesto %2)")
                                  .arg(before.fingerprint, newKey)))
        << said.toStdString();

    const Shop after = readShop(fresh.path());
    for (const QString table : {"korisnici", "aktivnost", "grupe", "promet"})
        EXPECT_EQ(after.tables.value(table), before.tables.value(table)) << table.toStdString();
    EXPECT_EQ(after.closes, before.closes);
    EXPECT_EQ(after.counts, before.counts);
    EXPECT_EQ(after.settings, before.settings); // the limits, the blind count, the identity
    EXPECT_EQ(after.ftpOptions, before.ftpOptions);
    EXPECT_EQ(after.fingerprint, before.fingerprint);
    EXPECT_EQ(after.identity, before.identity);
    EXPECT_FALSE(QFile::exists(desk::signing::newKeyFile(fresh.path())));
    // Every entry of the copy, as it was; then the new computer's own acts and the restore.
    QStringList allActs;
    for (const QVariantList &e : after.log)
        allActs << e.value(3).toString() + u':' + e.value(4).toString();
    ASSERT_GT(after.log.size(), before.log.size() + 1) << allActs.join(u'\n').toStdString();
    EXPECT_EQ(after.log.mid(0, before.log.size()), before.log);
    QStringList acts;
    for (const QVariantList &e : after.log.mid(before.log.size()))
        acts << e.value(3).toString();
    EXPECT_TRUE(acts.contains(QStringLiteral("NOV KLJUC POTPISA"))) << acts.join(u',').toStdString();
    EXPECT_EQ(acts.mid(acts.size() - 2), (QStringList{"POVRACAJ", "POVRACAJ KOPIJE"}));
    EXPECT_TRUE(after.verdict.ok()) << after.verdict.text().toStdString();
    EXPECT_EQ(after.verdict.head, before.verdict.head);
    EXPECT_TRUE(desk::checkAdminCode(fresh.path(), QStringLiteral("12345")));
    EXPECT_FALSE(desk::checkAdminCode(fresh.path(), QStringLiteral("999")));
    EXPECT_EQ(offsite::notice(fresh.path()),
              QStringLiteral("Vracena je kopija od 31/12/2026 16:01:33: promene posle tog vremena "
                             "unesite ponovo iz naloga."));
}

// The copies a restore refuses, each before anything of the shop is changed: a copy renamed to
// pass as a newer one, a copy of another shop into a shop that has its own records, and a write
// that fails halfway (everything replaced until then is put back).
TEST_P(OffsiteCopyTest, ARenamedForeignOrHalfWrittenRestoreChangesNothing)
{
    makeShop();
    const QString folder = offsite::folderOfCopies(usb.path());
    makeNewComputer();
    std::optional<engine::EngineError::Kind> kind;
    const auto refusal = [&](const QString &into, const QString &name) {
        kind.reset();
        try {
            offsite::OffsiteRestore r(into, offsite::settings(into), name, key);
            r.run(QStringLiteral("Admin"), CopyMoment.addDays(1));
        } catch (const engine::EngineError &e) {
            kind = e.kind();
            return e.message();
        }
        return QString();
    };
    const Shop untouched = readShop(fresh.path());

    ASSERT_TRUE(QFile::copy(QDir(folder).filePath(CopyName), QDir(folder).filePath("2027-01-02-08-00-00.dvr")));
    EXPECT_TRUE(refusal(fresh.path(), QStringLiteral("2027-01-02-08-00-00.dvr"))
                    .contains(QStringLiteral("preimenovana kopija")));
    EXPECT_EQ(kind, engine::EngineError::Kind::Damaged);

    // A failing write: the signing key's place is taken by a folder, so the last file cannot
    // be written after the tables were replaced.
    QFile::remove(QDir(fresh.path()).filePath("podaci/potpis-kljuc.pem"));
    ASSERT_TRUE(QDir(fresh.path()).mkpath(QStringLiteral("podaci/potpis-kljuc.pem/x")));
    EXPECT_TRUE(refusal(fresh.path(), CopyName).contains(QStringLiteral("NIJE vracena")));
    EXPECT_EQ(kind, engine::EngineError::Kind::File); // the failed write's own kind
    const Shop afterFailure = readShop(fresh.path());
    EXPECT_EQ(afterFailure.tables, untouched.tables);
    EXPECT_EQ(afterFailure.identity, untouched.identity);
    EXPECT_EQ(afterFailure.ftpOptions, untouched.ftpOptions);

    // A shop with records of its own does not take another shop's copy.
    QDir(fresh.path()).rmpath(QStringLiteral("podaci/potpis-kljuc.pem/x"));
    {
        engine::Session own;
        own.setBaseDir(fresh.path());
        own.setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
        OpenTable journal(own, QStringLiteral("podaci/promet.db"));
        desk::post(journal, posting("Admin", QDate(2027, 1, 3), "08:00:00", desk::Direction::In, 10, "x"),
                   own.dateFormat());
        journal.close();
        own.close();
    }
    EXPECT_TRUE(refusal(fresh.path(), CopyName).contains(QStringLiteral("iz drugih podataka")));
    EXPECT_EQ(kind, engine::EngineError::Kind::Refused);
    EXPECT_EQ(readShop(fresh.path()).tables.value("korisnici"), untouched.tables.value("korisnici"));
}

// A number the paper vouchers show as used after the copy is never given: the next posting
// goes on after it, a number given already is refused, and the act is logged.
TEST_P(OffsiteCopyTest, ASkippedNumberIsNeverGiven)
{
    makeShop();
    EXPECT_EQ(offsite::skipNumber(dir.path(), QStringLiteral("U-2027-000001"), QStringLiteral("Admin")),
              QStringLiteral("Broj U-2027-000001 je oznacen kao izdat"));
    const struct
    {
        const char *number;
        const char *refusal;
        engine::EngineError::Kind kind; // a number given already is a rule's refusal
    } refused[] = {{"U-2027-000001", "vec izdat", engine::EngineError::Kind::Refused},
                   {"U-2026-000001", "vec izdat", engine::EngineError::Kind::Refused},
                   {"X-2027-000001", "nije broj", engine::EngineError::Kind::Value},
                   {"U-2027-000000", "nije broj", engine::EngineError::Kind::Value}};
    for (const auto &r : refused) {
        SCOPED_TRACE(r.number);
        try {
            offsite::skipNumber(dir.path(), QString::fromLatin1(r.number), QStringLiteral("Admin"));
            ADD_FAILURE() << "not refused";
        } catch (const engine::EngineError &e) {
            EXPECT_TRUE(e.message().contains(QLatin1String(r.refusal))) << e.message().toStdString();
            EXPECT_EQ(e.kind(), r.kind);
        }
    }
    OpenTable journal(session, QStringLiteral("podaci/promet.db"));
    const desk::Posted posted = desk::post(
        journal, posting("Marko Markovic", QDate(2027, 1, 2), "08:00:00", desk::Direction::In, 100, "Pazar"),
        session.dateFormat());
    EXPECT_EQ(posted.number, QStringLiteral("U-2027-000002"));
    const QList<QVariantList> logged = journal.runBeside(
        QStringLiteral("SELECT OPIS FROM dorvanta_dnevnik WHERE RADNJA = 'PRESKOCEN BROJ'"));
    ASSERT_EQ(logged.size(), 1);
    EXPECT_EQ(logged.front().value(0).toString(), QStringLiteral("Broj U-2027-000001 je oznacen kao izdat"));
    journal.close();
}
