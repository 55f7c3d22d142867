// dorvanta-admin's yearly archive: writing it and checking it.
#include "ArchiveCommands.h"

#include "AdminCommands.h"

#include "desk/CashBook.h"
#include "desk/DeskTables.h"
#include "desk/JournalChain.h"
#include "desk/SigningKey.h"
#include "engine/EngineError.h"
#include "engine/Money.h"
#include "engine/Sha256.h"
#include "engine/Table.h"
#include "platform/AtomicFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSet>

namespace admin {

namespace {

const QString Manifest = QStringLiteral("MANIFEST");
const QString Signature = QStringLiteral("MANIFEST.sig");
const QString PublicKey = QStringLiteral("potpis-javni.pem");

// One RFC 4180 record, as the journal's CSV writes them.
QByteArray csvLine(const QStringList &fields)
{
    QStringList quoted;
    for (const QString &f : fields) {
        if (f.contains(u',') || f.contains(u'"') || f.contains(u'\r') || f.contains(u'\n'))
            quoted += u'"' + QString(f).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"';
        else
            quoted += f;
    }
    return quoted.join(u',').toUtf8() + "\r\n";
}

QByteArray csvOf(const QStringList &header, const QList<QVariantList> &rows,
                 const QList<int> &moneyColumns = {})
{
    QByteArray csv = csvLine(header);
    for (const QVariantList &row : rows) {
        QStringList fields;
        for (int i = 0; i < row.size(); ++i)
            fields += row.at(i).isNull() ? QString()
                      : moneyColumns.contains(i)
                          ? engine::Money::fromHundredths(row.at(i).toLongLong()).toText()
                          : row.at(i).toString();
        csv += csvLine(fields);
    }
    return csv;
}

// SHA-256 (hex) and size of a file, read in pieces.
std::pair<QByteArray, qint64> digestOf(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    engine::Sha256 digest;
    digest.start();
    qint64 size = 0;
    while (!f.atEnd()) {
        const QByteArray piece = f.read(1 << 20);
        if (piece.isEmpty())
            break;
        size += piece.size();
        digest.add(piece);
    }
    return {digest.finish().toHex(), size};
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

namespace {

// Writes the archive's files into the empty folder `output`.
QString writeArchiveFiles(const QString &dir, int year, const QString &output, QString &summary)
{
    const QDir out(output);
    AdminCommands commands(dir);
    const QDate first(year, 1, 1);
    const QDate last(year, 12, 31);
    QMap<QString, QByteArray> files;
    QByteArray csv;
    if (const QString e = commands.exportCsv(
            first, last,
            [&csv](QByteArrayView piece) {
                csv.append(piece);
                return true;
            },
            QString());
        !e.isEmpty())
        return e;
    files.insert(QStringLiteral("promet-%1.csv").arg(year), csv);
    QList<QDate> closed;
    QByteArray head;
    const QString y = QString::number(year);
    QString error;
    const bool ok = desk::inJournalOf(
        dir,
        [&](engine::Table &journal) {
            desk::cashbook::prepare(journal);
            for (const desk::DayClose &c : desk::cashbook::closes(journal))
                if (c.day.year() == year)
                    closed += c.day;
            head = desk::chain::headOfDay(journal, last.toString(Qt::ISODate));
            files.insert(QStringLiteral("zakljucci-%1.csv").arg(year),
                         csvOf({QStringLiteral("DATUM"), QStringLiteral("BROJ"), QStringLiteral("KORISNIK"),
                                QStringLiteral("VREME"), QStringLiteral("PRETHODNODIN"), QStringLiteral("ULAZDIN"),
                                QStringLiteral("IZLAZDIN"), QStringLiteral("STANJEDIN"),
                                QStringLiteral("PRETHODNOEUR"), QStringLiteral("ULAZEUR"),
                                QStringLiteral("IZLAZEUR"), QStringLiteral("STANJEEUR")},
                               journal.runBeside(QStringLiteral(
                                   "SELECT DATUM, BROJ, KORISNIK, VREME, PRETHODNODIN, ULAZDIN, IZLAZDIN, "
                                   "STANJEDIN, PRETHODNOEUR, ULAZEUR, IZLAZEUR, STANJEEUR FROM "
                                   "dorvanta_zakljucak WHERE DATUM BETWEEN ?1 AND ?2 ORDER BY DATUM"),
                                                 {first.toString(Qt::ISODate), last.toString(Qt::ISODate)}),
                               {4, 5, 6, 7, 8, 9, 10, 11}));
            files.insert(QStringLiteral("dnevnik-%1.csv").arg(year),
                         csvOf({QStringLiteral("RB"), QStringLiteral("VREME"), QStringLiteral("KORISNIK"),
                                QStringLiteral("RADNJA"), QStringLiteral("OPIS"), QStringLiteral("ZAPISA"),
                                QStringLiteral("GLAVA"), QStringLiteral("POCETAK"), QStringLiteral("HES")},
                               journal.runBeside(QStringLiteral(
                                   "SELECT RB, VREME, KORISNIK, RADNJA, OPIS, ZAPISA, GLAVA, POCETAK, HES "
                                   "FROM dorvanta_dnevnik WHERE VREME LIKE ?1 ORDER BY RB"),
                                                 {y + u'%'})));
            files.insert(QStringLiteral("brojaci-%1.csv").arg(year),
                         csvOf({QStringLiteral("VRSTA"), QStringLiteral("GODINA"), QStringLiteral("POSLEDNJI")},
                               journal.runBeside(QStringLiteral(
                                   "SELECT VRSTA, GODINA, POSLEDNJI FROM dorvanta_brojac WHERE GODINA = ?1 "
                                   "ORDER BY VRSTA"),
                                                 {year})));
        },
        &error);
    if (!ok)
        return error;
    try {
        desk::signing::ensureKey(dir);
        files.insert(PublicKey, desk::signing::publicKey(dir));
    } catch (const engine::EngineError &e) {
        return e.message();
    }
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        QString reason;
        if (!platform::writeFileAtomically(out.filePath(it.key()), it.value(), &reason))
            return QStringLiteral("cannot write %1: %2").arg(it.key(), reason);
    }
    const QDateTime now = QDateTime::currentDateTime();
    for (const QDate &day : closed) {
        const QString name = QStringLiteral("izvestaj-%1.pdf").arg(day.toString(Qt::ISODate));
        if (const QString e = commands.dayReport(day, {}, now, out.filePath(name)); !e.isEmpty())
            return QStringLiteral("%1: %2").arg(name, e);
    }
    // The manifest: comment lines first, then the sha256sum form of every file in name order.
    QByteArray manifest = "# Dorvanta godisnja arhiva " + y.toLatin1() + "\n# glava lanca posle poslednjeg zapisa godine: " +
                          (head.isEmpty() ? QByteArray("-") : head) + "\n";
    QByteArray sums;
    for (const QString &name : out.entryList(QDir::Files, QDir::Name)) {
        const auto [digest, size] = digestOf(out.filePath(name));
        manifest += "# " + QByteArray::number(size) + " " + name.toUtf8() + "\n";
        sums += digest + "  " + name.toUtf8() + "\n";
    }
    manifest += sums;
    try {
        const QByteArray signature = desk::signing::sign(dir, manifest);
        QString reason;
        if (!platform::writeFileAtomically(out.filePath(Manifest), manifest, &reason) ||
            !platform::writeFileAtomically(out.filePath(Signature), signature, &reason))
            return QStringLiteral("cannot write the manifest: ") + reason;
        summary = QStringLiteral("Arhiva %1 u %2: %3 fajlova, %4 zakljucenih dana\nGlava lanca: %5\n"
                                 "Otisak kljuca za potpis: %6")
                      .arg(y, output)
                      .arg(out.entryList(QDir::Files).size())
                      .arg(closed.size())
                      .arg(QString::fromLatin1(head), desk::signing::fingerprintOf(dir));
    } catch (const engine::EngineError &e) {
        return e.message();
    }
    return {};
}

} // namespace

QString writeArchive(const QString &dir, int year, const QString &output, QString &summary)
{
    const QDir out(output);
    const bool existed = out.exists();
    if (existed && !out.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty())
        return QStringLiteral("%1 is not empty, nothing written").arg(output);
    if (!QDir().mkpath(output))
        return QStringLiteral("cannot make %1").arg(output);
    const QString error = writeArchiveFiles(dir, year, output, summary);
    if (!error.isEmpty()) {
        // No half archive stays behind (a full disk, a journal that cannot be read): the
        // folder is as it was, and the command can simply be run again.
        if (existed) {
            for (const QFileInfo &f : out.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
                f.isDir() ? QDir(f.filePath()).removeRecursively() : QFile::remove(f.filePath());
        } else {
            QDir(output).removeRecursively();
        }
    }
    return error;
}

namespace {

// A name MANIFEST may give: a file of the archive's own folder, never a path that leads
// elsewhere.
bool isPlainName(const QString &name)
{
    return !name.isEmpty() && !name.contains(u'/') && !name.contains(u'\\') &&
           !name.contains(QLatin1String("..")) && !name.contains(QChar(0));
}

// Everything in the archive's folder, also inside subfolders ("prilog/izvestaj.pdf"; an
// empty subfolder as "prilog/"), relative to it.
QStringList everythingIn(const QDir &in)
{
    QStringList out;
    QDirIterator it(in.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        const QString relative = in.relativeFilePath(path);
        if (info.isDir() && !info.isSymLink()) {
            if (QDir(path).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
                out += relative + u'/';
        } else {
            out += relative;
        }
    }
    out.sort();
    return out;
}

} // namespace

int verifyArchive(const QString &archive, const QString &fingerprint, QString &report)
{
    const QDir in(archive);
    QStringList problems;
    const auto ending = [&](const QString &found) {
        QString line = QStringLiteral("Otisak kljuca za potpis: %1")
                           .arg(found.isEmpty() ? QStringLiteral("-") : found);
        if (fingerprint.isEmpty())
            line += QStringLiteral(" (uporedite ga sa otiskom na dnevnom izvestaju ili u izlazu "
                                   "komande verify)");
        return line;
    };
    if (!in.exists(Manifest)) {
        report = QStringLiteral("%1: nema fajla MANIFEST").arg(archive);
        return 1;
    }
    const QByteArray manifest = readFile(in.filePath(Manifest));
    QMap<QString, QByteArray> listed; // name, sha256 hex
    QMap<QString, qint64> sizes;
    QStringList refused;
    for (const QByteArray &line : manifest.split('\n')) {
        if (line.startsWith("# ")) {
            const QList<QByteArray> parts = line.mid(2).split(' ');
            bool number = false;
            const qint64 size = parts.value(0).toLongLong(&number);
            if (number && parts.size() >= 2)
                sizes.insert(QString::fromUtf8(line.mid(2 + parts.first().size() + 1)), size);
        } else if (line.size() > 66 && line.at(64) == ' ' && line.at(65) == ' ') {
            const QString name = QString::fromUtf8(line.mid(66));
            if (isPlainName(name))
                listed.insert(name, line.left(64));
            else
                refused += name;
        } else if (!line.isEmpty()) {
            problems += QStringLiteral("MANIFEST: neispravan red \"%1\"").arg(QString::fromUtf8(line));
        }
    }
    // Nothing MANIFEST names is opened before MANIFEST is known to be the signer's, and no
    // name that leads out of the archive's folder is opened at all.
    for (const QString &name : std::as_const(refused))
        problems += QStringLiteral("MANIFEST: ime \"%1\" vodi van arhive (sa / ili ..), "
                                   "nista nije otvoreno")
                        .arg(name);
    const QByteArray key = readFile(in.filePath(PublicKey));
    QString found;
    bool signedBySigner = false;
    try {
        found = desk::signing::fingerprint(key);
        signedBySigner = desk::signing::verify(key, manifest, readFile(in.filePath(Signature)));
        if (!signedBySigner)
            problems += QStringLiteral("izmenjen: MANIFEST (potpis MANIFEST.sig se ne slaze)");
    } catch (const engine::EngineError &e) {
        problems += QStringLiteral("%1: %2").arg(PublicKey, e.message());
    }
    if (!fingerprint.isEmpty() && found.compare(fingerprint, Qt::CaseInsensitive) != 0)
        problems += QStringLiteral("otisak kljuca %1 (%2) nije dati %3").arg(found, PublicKey, fingerprint);
    if (!problems.isEmpty()) {
        report = problems.join(u'\n') + u'\n' + ending(found);
        return 1;
    }
    for (auto it = listed.cbegin(); it != listed.cend(); ++it) {
        if (!in.exists(it.key())) {
            problems += QStringLiteral("nedostaje: %1").arg(it.key());
            continue;
        }
        const auto [digest, size] = digestOf(in.filePath(it.key()));
        if (digest != it.value() || (sizes.contains(it.key()) && sizes.value(it.key()) != size))
            problems += QStringLiteral("izmenjen: %1").arg(it.key());
    }
    for (const QString &name : everythingIn(in))
        if (name != Manifest && name != Signature && !listed.contains(name))
            problems += QStringLiteral("visak (nije u MANIFEST): %1").arg(name);
    if (!problems.isEmpty()) {
        report = problems.join(u'\n') + u'\n' + ending(found);
        return 1;
    }
    // A key the archive brings itself proves nothing: only the fingerprint of the shop's key,
    // taken from elsewhere, says who signed.
    if (fingerprint.isEmpty()) {
        report = QStringLiteral("Fajlovi odgovaraju MANIFEST (%1) i potpisu, ali potpisnik nije "
                                "proveren: dajte --fingerprint sa otiskom kljuca radnje\n")
                     .arg(listed.size()) +
                 ending(found);
        return 1;
    }
    report = QStringLiteral("U redu: %1 fajlova odgovara MANIFEST, potpis vazi\n").arg(listed.size()) +
             ending(found);
    return 0;
}

} // namespace admin
