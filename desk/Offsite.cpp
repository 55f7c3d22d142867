// Off-site copies: their targets, the key, packing the shop, sending and keeping copies.
#include "Offsite.h"

#include "DataDirectory.h"
#include "DeskTables.h"
#include "JournalChain.h"
#include "SealedBackup.h"
#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "engine/TableStores.h"
#include "engine/Transaction.h"
#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <algorithm>

namespace desk::offsite {

namespace {

using engine::EngineError;

constexpr int NewestKept = 30;
constexpr int MonthsKept = 120;

FtpTargetFactory &ftpFactory()
{
    static FtpTargetFactory factory;
    return factory;
}

QString dataFile(const QString &dir, const char *name)
{
    return QDir(dir).filePath(QStringLiteral("podaci/") + QLatin1String(name));
}

QStringList readLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

void writeFile(const QString &path, const QString &text,
               QFileDevice::Permissions permissions = {})
{
    QString error;
    if (!platform::writeFileAtomically(path, text.toUtf8(), &error, permissions))
        throw EngineError(EngineError::Kind::File, QStringLiteral("%1: %2").arg(path, error));
}

class FolderTarget : public Target
{
public:
    explicit FolderTarget(const QString &path) : m_dir(folderOfCopies(path)) {}
    QString label() const override { return QStringLiteral("fascikla ") + m_dir; }
    QStringList names() override
    {
        requireFolder();
        return QDir(m_dir).entryList(QDir::Files, QDir::Name);
    }
    void put(const QString &localPath, const QString &name) override
    {
        requireFolder();
        // Written whole through a temporary file beside it: a full disk leaves no half copy.
        platform::AtomicWriter out(QDir(m_dir).filePath(name));
        QFile in(localPath);
        if (!in.open(QIODevice::ReadOnly))
            throw EngineError(EngineError::Kind::File, QStringLiteral("%1: %2").arg(localPath, in.errorString()));
        if (!out.copyFrom(in.handle(), 0, in.size()) || !out.commit())
            throw EngineError(EngineError::Kind::File, out.errorString());
    }
    void get(const QString &name, const QString &localPath) override
    {
        requireFolder();
        QFile::remove(localPath);
        if (!QFile::copy(QDir(m_dir).filePath(name), localPath))
            throw EngineError(EngineError::Kind::File, QStringLiteral("%1 se ne moze procitati").arg(QDir(m_dir).filePath(name)));
    }
    void remove(const QString &name) override
    {
        if (!QFile::remove(QDir(m_dir).filePath(name)))
            throw EngineError(EngineError::Kind::File, QStringLiteral("%1 se ne moze obrisati").arg(QDir(m_dir).filePath(name)));
    }
    // The copy is written straight into the folder: no second pass over a large file.
    QString directory() const { return m_dir; }

private:
    void requireFolder() const
    {
        if (!QFileInfo(m_dir).isDir())
            throw EngineError(EngineError::Kind::File, QStringLiteral("nema fascikle %1 (da li je disk prikljucen?)").arg(m_dir));
    }
    QString m_dir;
};

QStringList copiesOf(Target &target)
{
    QStringList names = target.names();
    names.removeIf([](const QString &n) { return !isCopyName(n); });
    std::sort(names.begin(), names.end(), std::greater<>());
    return names;
}

constexpr char PackMagic[] = "DVRSKUP\n";
constexpr int PackMagicSize = 8;

QByteArray bigEndian(quint64 value, int bytes)
{
    QByteArray out(bytes, '\0');
    for (int i = bytes - 1; i >= 0; --i, value >>= 8)
        out[i] = char(value & 0xff);
    return out;
}

quint64 fromBigEndian(const QByteArray &bytes)
{
    quint64 value = 0;
    for (const char c : bytes)
        value = value << 8 | quint8(c);
    return value;
}

// The moment a copy's name gives.
QDateTime momentOfCopy(const QString &name)
{
    return QDateTime::fromString(name.left(19), QStringLiteral("yyyy-MM-dd-HH-mm-ss"));
}

const char LogColumns[] = "RB, VREME, KORISNIK, RADNJA, OPIS, ZAPISA, GLAVA, POCETAK, HES";

// A backup of a server's journal holds its records and cash book but not its audit log: the
// copy `journalCopy` gets the journal's log (the entries up to the backup's records) and its
// records are chained again from the log's segment, as on the server.
void carryServerLog(const QString &dir, const QString &journalCopy)
{
    engine::Session live;
    live.setBaseDir(dir);
    live.setPassword(tablePassword());
    engine::Session copied;
    copied.setBaseDir(QFileInfo(journalCopy).absolutePath());
    copied.setPassword(tablePassword());
    try {
        engine::Table journal(live, QStringLiteral("podaci/promet.db"));
        journal.open();
        const QList<QVariantList> entries = journal.runBeside(
            QStringLiteral("SELECT %1 FROM dorvanta_dnevnik ORDER BY RB").arg(QLatin1String(LogColumns)));
        live.close();
        engine::Table backup(copied, QFileInfo(journalCopy).fileName());
        backup.open();
        const qint64 records = backup.recordCount();
        engine::Transaction transaction(backup);
        chain::createTables(backup);
        backup.runBeside(QStringLiteral("DELETE FROM dorvanta_dnevnik"));
        backup.runBeside(QStringLiteral("DELETE FROM dorvanta_lanac"));
        for (const QVariantList &entry : entries) {
            if (entry.value(5).toLongLong() > records)
                break; // logged after the backup
            backup.runBeside(QStringLiteral("INSERT INTO dorvanta_dnevnik (%1) VALUES (?1, ?2, ?3, ?4, "
                                            "?5, ?6, ?7, ?8, ?9)")
                                 .arg(QLatin1String(LogColumns)),
                             entry);
        }
        chain::chainUnlinked(backup, {}, QStringLiteral("LANAC"),
                             QStringLiteral("Lanac kopije sa servera: %1 zapisa"), false);
        transaction.commit();
    } catch (...) {
        live.close();
        copied.close();
        throw;
    }
    copied.close();
}

// Packs the whole shop of `dir`, with the journal's backup podaci/`backupName`, into `packPath`;
// the tables are copied (from either store) into `work` first.
void packShopOf(const QString &dir, const QString &backupName, const QString &work,
                const QString &packPath)
{
    const QString journalCopy = QDir(work).filePath(QStringLiteral("promet.db"));
    if (!QFile::copy(dataFile(dir, "") + backupName, journalCopy))
        throw EngineError(EngineError::Kind::File, QStringLiteral("%1 se ne moze kopirati").arg(dataFile(dir, "") + backupName));
    if (engine::serverUriFor(dataFile(dir, "promet.db")))
        carryServerLog(dir, journalCopy);
    QList<std::pair<QString, QString>> files{{QStringLiteral("promet.db"), journalCopy}};
    for (const QString &table : {QStringLiteral("korisnici"), QStringLiteral("aktivnost"),
                                 QStringLiteral("grupe")}) {
        const QString copy = QDir(work).filePath(table + QStringLiteral(".db"));
        engine::copyTableFile(dataFile(dir, "") + table + QStringLiteral(".db"), copy);
        files.append({table + QStringLiteral(".db"), copy});
    }
    for (const QString &name : shopFiles().mid(4))
        if (QFileInfo(dataFile(dir, "") + name).isFile())
            files.append({name, dataFile(dir, "") + name});
    packShop(files, packPath);
}

} // namespace

const QStringList &shopFiles()
{
    static const QStringList names{
        QStringLiteral("promet.db"),         QStringLiteral("korisnici.db"),
        QStringLiteral("aktivnost.db"),      QStringLiteral("grupe.db"),
        QStringLiteral("ftpop.txt"),         QStringLiteral("rezerva.txt"),
        QStringLiteral("rezerva-kljuc.txt"), QStringLiteral("potpis-kljuc.pem"),
        QStringLiteral("potpis-javni.pem")};
    return names;
}

void packShop(const QList<std::pair<QString, QString>> &files, const QString &packPath)
{
    platform::AtomicWriter out(packPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    bool ok = out.write(QByteArray(PackMagic, PackMagicSize));
    for (const auto &[name, path] : files) {
        QFile in(path);
        if (!in.open(QIODevice::ReadOnly))
            throw EngineError(EngineError::Kind::File, QStringLiteral("%1: %2").arg(path, in.errorString()));
        const QByteArray utf8 = name.toUtf8();
        ok = ok && out.write(bigEndian(quint64(utf8.size()), 2) + utf8 + bigEndian(quint64(in.size()), 8)) &&
             out.copyFrom(in.handle(), 0, in.size());
    }
    if (!ok || !out.commit())
        throw EngineError(EngineError::Kind::File, QStringLiteral("%1: %2").arg(packPath, out.errorString()));
}

QStringList unpackShop(const QString &packPath, const QString &folder)
{
    QFile in(packPath);
    if (!in.open(QIODevice::ReadOnly))
        throw EngineError(EngineError::Kind::File, QStringLiteral("%1: %2").arg(packPath, in.errorString()));
    const auto broken = [&](const QString &why) {
        return EngineError(EngineError::Kind::Damaged, QStringLiteral("Kopija nije cela (%1)").arg(why));
    };
    if (in.read(PackMagicSize) != QByteArray(PackMagic, PackMagicSize))
        throw broken(QStringLiteral("nema oznake"));
    QStringList names;
    while (!in.atEnd()) {
        const QByteArray nameLength = in.read(2);
        if (nameLength.size() != 2)
            throw broken(QStringLiteral("ime"));
        const QString name = QString::fromUtf8(in.read(qint64(fromBigEndian(nameLength))));
        if (!shopFiles().contains(name) || names.contains(name))
            throw broken(QStringLiteral("nepoznata datoteka '%1'").arg(name.left(80)));
        const QByteArray sizeBytes = in.read(8);
        const quint64 size = fromBigEndian(sizeBytes);
        if (sizeBytes.size() != 8 || size > quint64(in.size() - in.pos()))
            throw broken(name);
        platform::AtomicWriter out(QDir(folder).filePath(name),
                                   QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        if (!out.copyFrom(in.handle(), in.pos(), qint64(size)) || !out.commit())
            throw EngineError(EngineError::Kind::File, QStringLiteral("%1: %2").arg(QDir(folder).filePath(name), out.errorString()));
        in.seek(in.pos() + qint64(size));
        names += name;
    }
    return names;
}

sealed::Label labelOf(const QString &dir, const QString &backupPath, const QDateTime &moment)
{
    sealed::Label label;
    label.sealedAt = moment;
    label.identity = DataDirectory::identity(dir);
    engine::Session session;
    session.setBaseDir(QFileInfo(backupPath).absolutePath());
    session.setPassword(tablePassword());
    try {
        engine::Table backup(session, QFileInfo(backupPath).fileName());
        backup.open();
        label.records = backup.recordCount();
        try {
            label.chainHead = chain::head(backup).head;
            label.lastDocument = backup
                                     .runBeside(QStringLiteral("SELECT BROJ FROM dorvanta_dokument "
                                                               "ORDER BY ID DESC LIMIT 1"))
                                     .value(0)
                                     .value(0)
                                     .toString();
        } catch (const EngineError &) {
            // a journal without its cash book yet: no head, no numbers
        }
    } catch (...) {
        session.close();
        throw;
    }
    session.close();
    return label;
}

void setFtpTargetFactory(FtpTargetFactory factory)
{
    ftpFactory() = std::move(factory);
}

QString folderOfCopies(const QString &path)
{
    return QDir(path).filePath(QStringLiteral("dorvanta-rezerva"));
}

Settings settings(const QString &dir)
{
    Settings s;
    for (const QString &line : readLines(dataFile(dir, "rezerva.txt"))) {
        if (line.startsWith(QLatin1String("FASCIKLA ")))
            s.folder = line.mid(9);
        else if (line.trimmed() == QLatin1String("FTP"))
            s.ftp = true;
    }
    return s;
}

std::vector<std::unique_ptr<Target>> targets(const QString &dir, const Settings &settings)
{
    std::vector<std::unique_ptr<Target>> all;
    if (!settings.folder.isEmpty())
        all.push_back(std::make_unique<FolderTarget>(settings.folder));
    if (settings.ftp) {
        if (!ftpFactory())
            throw EngineError(EngineError::Kind::Refused, QStringLiteral("FTP kopije nisu dostupne u ovom programu"));
        all.push_back(ftpFactory()(dir));
    }
    return all;
}

bool hasKey(const QString &dir)
{
    return QFileInfo::exists(dataFile(dir, "rezerva-kljuc.txt"));
}

QByteArray key(const QString &dir)
{
    const QStringList lines = readLines(dataFile(dir, "rezerva-kljuc.txt"));
    if (lines.isEmpty())
        throw EngineError(EngineError::Kind::Refused, QStringLiteral("Kljuc rezerve nije podesen (dorvanta-admin offsite-init)"));
    return sealed::keyFromRecoveryText(lines.first());
}

QString init(const QString &dir, const Settings &s, const QByteArray &givenKey)
{
    if (!s.any())
        throw EngineError(EngineError::Kind::Value, QStringLiteral("Nije dat nijedan cilj kopija van lokacije"));
    if (s.ftp && !ftpFactory())
        throw EngineError(EngineError::Kind::Refused, QStringLiteral("Kopije na FTP server ovaj program jos ne pravi; "
                                         "zadajte fasciklu (--folder)"));
    if (!s.folder.isEmpty()) {
        if (!QFileInfo(s.folder).isDir())
            throw EngineError(EngineError::Kind::File, QStringLiteral("nema fascikle %1").arg(s.folder));
        if (!QDir(s.folder).mkpath(QStringLiteral("dorvanta-rezerva")))
            throw EngineError(EngineError::Kind::File, QStringLiteral("%1 se ne moze napraviti").arg(folderOfCopies(s.folder)));
    }
    // The server's folder is made (or found) before anything is written: a server that cannot
    // be reached fails the set-up.
    if (s.ftp)
        ftpFactory()(dir)->prepare();
    QByteArray k;
    if (hasKey(dir)) {
        k = key(dir);
        if (!givenKey.isEmpty() && givenKey != k)
            throw EngineError(EngineError::Kind::Refused, QStringLiteral("Podaci vec imaju drugi kljuc rezerve: %1")
                                  .arg(dataFile(dir, "rezerva-kljuc.txt")));
    } else {
        k = givenKey.isEmpty() ? sealed::newKey() : givenKey;
        writeFile(dataFile(dir, "rezerva-kljuc.txt"), sealed::recoveryText(k) + u'\n',
                  QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    QString text;
    if (!s.folder.isEmpty())
        text += QStringLiteral("FASCIKLA ") + QDir(s.folder).absolutePath() + u'\n';
    if (s.ftp)
        text += QStringLiteral("FTP\n");
    writeFile(dataFile(dir, "rezerva.txt"), text);
    return sealed::recoveryText(k);
}

QString copyName(const QString &backupName, const QDateTime &now)
{
    static const QRegularExpression pattern(
        QStringLiteral("^bck-(\\d\\d)-(\\d\\d)-(\\d\\d)-(\\d\\d)-(\\d\\d)-(\\d\\d)\\.db$"));
    const QRegularExpressionMatch m = pattern.match(backupName);
    if (m.hasMatch())
        return QStringLiteral("20%1-%2-%3-%4-%5-%6.dvr")
            .arg(m.captured(3), m.captured(2), m.captured(1), m.captured(4), m.captured(5),
                 m.captured(6));
    return now.toString(QStringLiteral("yyyy-MM-dd-HH-mm-ss")) + QStringLiteral(".dvr");
}

bool isCopyName(const QString &name)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d-\\d\\d-\\d\\d-\\d\\d\\.dvr$"));
    return pattern.match(name).hasMatch();
}

QStringList keep(const QStringList &names)
{
    QStringList sorted = names;
    sorted.removeIf([](const QString &n) { return !isCopyName(n); });
    std::sort(sorted.begin(), sorted.end(), std::greater<>());
    QStringList kept = sorted.mid(0, NewestKept);
    if (sorted.isEmpty())
        return kept;
    const auto monthOf = [](const QString &n) { return n.left(4).toInt() * 12 + n.mid(5, 2).toInt() - 1; };
    const int newestMonth = monthOf(sorted.first());
    QMap<int, QString> newestOfMonth;
    for (const QString &n : sorted) {
        const int month = monthOf(n);
        if (newestMonth - month < MonthsKept && !newestOfMonth.contains(month))
            newestOfMonth.insert(month, n);
    }
    for (const QString &n : newestOfMonth)
        if (!kept.contains(n))
            kept += n;
    std::sort(kept.begin(), kept.end(), std::greater<>());
    return kept;
}

bool send(const QString &dir, const QString &backupName, const QDateTime &now, QString *report)
{
    if (report)
        report->clear();
    const Settings s = settings(dir);
    if (!s.any())
        return true;
    const QString name = copyName(backupName, now);
    QStringList lines;
    QStringList failures;
    try {
        const QByteArray k = key(dir);
        // Each target on its own: an FTP target that cannot even be made (its settings gone)
        // still leaves the folder's copy to be written.
        std::vector<std::unique_ptr<Target>> all;
        for (const Settings &one : {Settings{s.folder, false}, Settings{QString(), s.ftp}}) {
            if (!one.any())
                continue;
            try {
                for (auto &target : targets(dir, one))
                    all.push_back(std::move(target));
            } catch (const EngineError &e) {
                const QString which = one.ftp ? QStringLiteral("FTP") : one.folder;
                failures += QStringLiteral("%1: %2").arg(which, e.message());
                lines += QStringLiteral("Kopija van lokacije NIJE snimljena (%1): %2").arg(which, e.message());
            }
        }
        // The whole shop packed once beside the backup (owner-only), sealed with its label.
        QTemporaryDir work(dataFile(dir, ".~dorvanta-skup-XXXXXX"));
        if (!work.isValid())
            throw EngineError(EngineError::Kind::File, work.errorString());
        const QString pack = QDir(work.path()).filePath(QStringLiteral("skup"));
        packShopOf(dir, backupName, work.path(), pack);
        const sealed::Label label =
            labelOf(dir, QDir(work.path()).filePath(QStringLiteral("promet.db")), momentOfCopy(name));
        // Sealed once into podaci/, then handed to each target; a folder target gets it
        // written there directly.
        QTemporaryFile sealedLocal(dataFile(dir, ".~dorvanta-rezerva-XXXXXX"));
        bool sealedOnce = false;
        for (const auto &target : all) {
            try {
                if (auto *folder = dynamic_cast<FolderTarget *>(target.get())) {
                    folder->names(); // the folder is there (a mounted disk)
                    sealed::seal(pack, QDir(folder->directory()).filePath(name), k, label);
                } else {
                    if (!sealedOnce) {
                        if (!sealedLocal.open())
                            throw EngineError(EngineError::Kind::File, sealedLocal.errorString());
                        sealedLocal.close();
                        sealed::seal(pack, sealedLocal.fileName(), k, label);
                        sealedOnce = true;
                    }
                    target->put(sealedLocal.fileName(), name);
                }
                const QStringList copies = copiesOf(*target);
                const QStringList kept = keep(copies);
                for (const QString &old : copies)
                    if (!kept.contains(old))
                        target->remove(old);
                lines += QStringLiteral("Kopija van lokacije: %1/%2").arg(target->label(), name);
            } catch (const EngineError &e) {
                failures += QStringLiteral("%1: %2").arg(target->label(), e.message());
                lines += QStringLiteral("Kopija van lokacije NIJE snimljena (%1): %2")
                             .arg(target->label(), e.message());
            }
        }
    } catch (const EngineError &e) {
        failures += e.message();
        lines += QStringLiteral("Kopija van lokacije NIJE snimljena: ") + e.message();
    }
    const QString at = now.toString(Qt::ISODate);
    try {
        writeFile(dataFile(dir, "rezerva-stanje.txt"),
                  failures.isEmpty()
                      ? QStringLiteral("OK\n%1\n%2\n").arg(at, name)
                      : QStringLiteral("GRESKA\n%1\n%2\n").arg(at, failures.join(QStringLiteral("; "))));
    } catch (const EngineError &) {
        // The outcome is told to the caller all the same.
    }
    if (report)
        *report = lines.join(u'\n');
    return failures.isEmpty();
}

QList<Copy> list(const QString &dir, const Settings &s)
{
    QList<Copy> copies;
    for (const auto &target : targets(dir, s))
        for (const QString &name : copiesOf(*target))
            copies.append({target->label(), name});
    return copies;
}

sealed::Label fetch(const QString &dir, const Settings &s, const QString &name,
                    const QByteArray &key, const QString &localName)
{
    if (!isCopyName(name))
        throw EngineError(EngineError::Kind::Value, QStringLiteral("%1 nije ime kopije (YYYY-MM-DD-HH-MM-SS.dvr)").arg(name));
    QStringList looked;
    for (const auto &target : targets(dir, s)) {
        if (!target->names().contains(name)) {
            looked += target->label();
            continue;
        }
        QTemporaryFile fetched(dataFile(dir, ".~dorvanta-preuzeto-XXXXXX"));
        if (!fetched.open())
            throw EngineError(EngineError::Kind::File, fetched.errorString());
        fetched.close();
        target->get(name, fetched.fileName());
        return sealed::unseal(fetched.fileName(), dataFile(dir, "") + localName, key);
    }
    throw EngineError(EngineError::Kind::Refused, QStringLiteral("Kopija %1 ne postoji (%2)")
                          .arg(name, looked.isEmpty() ? QStringLiteral("nijedan cilj nije podesen")
                                                      : looked.join(QStringLiteral(", "))));
}

QString statusLine(const QString &dir)
{
    if (!settings(dir).any())
        return {};
    const QStringList lines = readLines(dataFile(dir, "rezerva-stanje.txt"));
    if (lines.size() < 3) {
        // Nothing sent from here yet; a folder target may hold the copies of another computer
        // (the shop's before this one), and those are there to be restored.
        const Settings s = settings(dir);
        if (!s.folder.isEmpty()) {
            try {
                FolderTarget folder(s.folder);
                const QStringList copies = copiesOf(folder);
                if (!copies.isEmpty())
                    return QStringLiteral("Ovaj racunar jos nije snimio kopiju van lokacije; na "
                                          "cilju je %1 kopija, najnovija %2")
                        .arg(copies.size())
                        .arg(copies.first());
            } catch (const EngineError &) {
            }
        }
        return QStringLiteral("Kopija van lokacije jos nije snimljena");
    }
    const QDateTime at = QDateTime::fromString(lines.at(1), Qt::ISODate);
    const QString when = at.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    if (lines.first() == QLatin1String("OK"))
        return QStringLiteral("Poslednja kopija van lokacije: %1, %2").arg(lines.at(2), when);
    return QStringLiteral("Poslednja kopija van lokacije NIJE snimljena (%1): %2").arg(when, lines.at(2));
}

} // namespace desk::offsite
