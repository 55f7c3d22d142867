// The shop's signing key: made once and kept (a second start never replaces it, or every
// printed fingerprint would stop matching), private to its owner, and a signature holds only
// for the data and the key it was made with. A new key is named on the daily reports from its
// day on.

#include "desk/SigningKey.h"
#include "engine/EngineError.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(SigningKeyTest, IsMadeOnceAndSignsOnlyWhatItSigned)
{
    QTemporaryDir shop, other;
    for (const QTemporaryDir *d : {&shop, &other})
        ASSERT_TRUE(QDir(d->path()).mkpath(QStringLiteral("podaci")));
    EXPECT_EQ(desk::signing::fingerprintOf(shop.path()), QString());
    EXPECT_TRUE(desk::signing::ensureKey(shop.path()));
    const QString fingerprint = desk::signing::fingerprintOf(shop.path());
    EXPECT_EQ(fingerprint.size(), 64);
    EXPECT_FALSE(desk::signing::ensureKey(shop.path()));
    EXPECT_EQ(desk::signing::fingerprintOf(shop.path()), fingerprint);
    QFile made(desk::signing::newKeyFile(shop.path()));
    ASSERT_TRUE(made.open(QIODevice::ReadOnly));
    const QDate day = QDate::fromString(QString::fromLatin1(made.readAll().trimmed()), Qt::ISODate);
    ASSERT_TRUE(day.isValid());
    const QString notice = QStringLiteral(" (NOV KLJUC od %1)").arg(day.toString(QStringLiteral("dd/MM/yyyy")));
    for (const auto &[reported, says] : {std::pair{day.addDays(-1), QString()}, {day, notice}, {day.addDays(30), notice}})
        EXPECT_EQ(desk::signing::reportedFingerprint(shop.path(), reported), fingerprint + says);
    made.close();
    ASSERT_TRUE(made.remove()); // the shop's own key brought back by a restore
    EXPECT_EQ(desk::signing::reportedFingerprint(shop.path(), day), fingerprint);
    EXPECT_EQ(QFile(shop.filePath(QStringLiteral("podaci/potpis-kljuc.pem"))).permissions() &
                  (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup |
                   QFileDevice::WriteOther),
              QFileDevice::Permissions());

    desk::signing::ensureKey(other.path());
    const QByteArray manifest("abc  promet-2025.csv\n");
    const QByteArray signature = desk::signing::sign(shop.path(), manifest);
    const QByteArray key = desk::signing::publicKey(shop.path());
    const QByteArray otherKey = desk::signing::publicKey(other.path());
    EXPECT_NE(desk::signing::fingerprint(otherKey), fingerprint);
    struct Case
    {
        const char *name;
        QByteArray key, data, signature;
        bool holds;
    };
    QByteArray flipped = signature;
    flipped[10] = char(flipped[10] ^ 1);
    const Case cases[] = {
        {"as signed", key, manifest, signature, true},
        {"a changed byte", key, QByteArray(manifest).replace("abc", "abd"), signature, false},
        {"another key", otherKey, manifest, signature, false},
        {"a changed signature", key, manifest, flipped, false},
        {"a cut signature", key, manifest, signature.left(63), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(desk::signing::verify(c.key, c.data, c.signature), c.holds);
    }
    EXPECT_THROW(desk::signing::fingerprint("not a key"), engine::EngineError);
}

} // namespace
