// The off-site copy's file and the backup key's recovery text. The first byte picks what the
// rest is:
//   0  a backup to seal: sealed with the fixed key it opens to the same bytes; with one byte
//      of it changed (where and how the input's last bytes say), cut short, or opened with
//      another key, it is refused and the file it would have been opened into keeps what it had;
//      sealed with a label made of its first bytes, it opens to the same bytes and label;
//   1  a file offered as a copy (the seeds are real copies under the fixed key): refused, or
//      opened into exactly what was sealed (the seeds themselves);
//   2  a recovery text as the owner types it back: refused, or a 32-byte key whose own
//      recovery text reads as the same key.

#include "FuzzSupport.h"

#include "desk/SealedBackup.h"
#include "engine/EngineError.h"

#include <QFile>

namespace sealed = desk::sealed;

namespace {

// The key the seed copies were made with: 32 bytes 0x00, 0x01, ... 0x1f.
QByteArray fixedKey()
{
    QByteArray key(sealed::KeySize, '\0');
    for (int i = 0; i < key.size(); ++i)
        key[i] = static_cast<char>(i);
    return key;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        fuzz::fail("cannot write", path);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        fuzz::fail("cannot read", path);
    return f.readAll();
}

const QByteArray Untouched("the plain file as it was before");

// Opens `copy` with `key` into a plain file that holds Untouched; returns what it opened to, or
// nullopt when refused (and then the plain file must still hold Untouched).
std::optional<QByteArray> opened(const QByteArray &copy, const QByteArray &key)
{
    const QString dir = fuzz::workDir();
    writeFile(dir + QStringLiteral("/copy.dvr"), copy);
    writeFile(dir + QStringLiteral("/plain.db"), Untouched);
    try {
        sealed::unseal(dir + QStringLiteral("/copy.dvr"), dir + QStringLiteral("/plain.db"), key);
    } catch (const engine::EngineError &e) {
        fuzz::check(!e.message().isEmpty(), "a copy refused without a reason");
        fuzz::check(readFile(dir + QStringLiteral("/plain.db")) == Untouched,
                    "a refused copy changed the file it was to be opened into");
        return std::nullopt;
    }
    return readFile(dir + QStringLiteral("/plain.db"));
}

void roundTrip(const QByteArray &plain)
{
    const QString dir = fuzz::workDir();
    writeFile(dir + QStringLiteral("/backup.db"), plain);
    sealed::seal(dir + QStringLiteral("/backup.db"), dir + QStringLiteral("/sealed.dvr"), fixedKey());
    const QByteArray copy = readFile(dir + QStringLiteral("/sealed.dvr"));
    fuzz::check(copy.size() == sealed::HeaderSize + plain.size() + sealed::TagSize,
                "a copy of the wrong size");
    fuzz::check(opened(copy, fixedKey()) == plain, "a copy does not open to its backup");

    // The input's last two bytes choose the byte to change and how.
    const uchar at = plain.isEmpty() ? 0 : static_cast<uchar>(plain.back());
    const uchar with = plain.size() < 2 ? 1 : static_cast<uchar>(plain[plain.size() - 2]);
    QByteArray changed = copy;
    const qsizetype where = (static_cast<qsizetype>(at) * 7919) % copy.size();
    changed[where] = static_cast<char>(changed[where] ^ (with ? with : 1));
    fuzz::check(!opened(changed, fixedKey()), "a changed copy opened");
    fuzz::check(!opened(copy.left(copy.size() - 1 - at % copy.size()), fixedKey()),
                "a cut copy opened");
    QByteArray other = fixedKey();
    other[with % sealed::KeySize] = static_cast<char>(other[with % sealed::KeySize] ^ 0x80);
    fuzz::check(!opened(copy, other), "a copy opened with another key");

    sealed::Label label;
    label.sealedAt = QDateTime(QDate(2026, 12, 31), QTime(16, 1, 33));
    label.identity = QString::fromLatin1(plain.left(16).toHex());
    label.chainHead = plain.left(32).toHex();
    label.records = plain.size();
    label.lastDocument = QString::fromLatin1(plain.left(8).toBase64());
    sealed::seal(dir + QStringLiteral("/backup.db"), dir + QStringLiteral("/sealed.dvr"), fixedKey(), label);
    const sealed::Label back = sealed::unseal(dir + QStringLiteral("/sealed.dvr"),
                                              dir + QStringLiteral("/plain.db"), fixedKey());
    fuzz::check(readFile(dir + QStringLiteral("/plain.db")) == plain, "a labelled copy does not open to its backup");
    fuzz::check(back.version == 2 && back.sealedAt == label.sealedAt && back.identity == label.identity &&
                    back.chainHead == label.chainHead && back.records == label.records &&
                    back.lastDocument == label.lastDocument,
                "a copy's label does not come back as it was sealed");
}

void offered(const QByteArray &copy)
{
    // A labelled copy's header holds its label too.
    const qsizetype label = copy.size() > sealed::HeaderSize + 4 && copy.at(8) == 2
                                ? 4 + (qsizetype(uchar(copy.at(29))) << 24 | qsizetype(uchar(copy.at(30))) << 16 |
                                       qsizetype(uchar(copy.at(31))) << 8 | uchar(copy.at(32)))
                                : 0;
    if (const std::optional<QByteArray> plain = opened(copy, fixedKey()))
        fuzz::check(plain->size() == copy.size() - sealed::HeaderSize - label - sealed::TagSize,
                    "an opened copy of the wrong size");
}

void recoveryText(const QString &text)
{
    QByteArray key;
    try {
        key = sealed::keyFromRecoveryText(text);
    } catch (const engine::EngineError &e) {
        fuzz::check(!e.message().isEmpty(), "a recovery text refused without a reason:", text);
        return;
    }
    fuzz::check(key.size() == sealed::KeySize, "a recovery text gave a key of the wrong size:", text);
    const QString written = sealed::recoveryText(key);
    fuzz::check(sealed::keyFromRecoveryText(written) == key,
                "a key's recovery text reads as another key:", written);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray rest = fuzz::bytes(data + 1, size - 1);
    switch (data[0] % 3) {
    case 0:
        roundTrip(rest);
        break;
    case 1:
        offered(rest);
        break;
    default:
        recoveryText(QString::fromUtf8(rest));
    }
    return 0;
}
