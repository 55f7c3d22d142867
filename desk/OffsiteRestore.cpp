// Bringing the shop back from an off-site copy: checks first, then the tables and files, the
// journal last, and what was replaced put back when a step fails.
#include "OffsiteRestore.h"

#include "DataDirectory.h"
#include "DeskTables.h"
#include "CashBook.h"
#include "JournalChain.h"
#include "Restore.h"
#include "SigningKey.h"

#include "engine/EngineError.h"
#include "engine/Table.h"
#include "engine/TableStores.h"
#include "engine/Transaction.h"
#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <algorithm>
#include <optional>

namespace desk::offsite {

namespace {

using engine::EngineError;

const QStringList Tables = {QStringLiteral("korisnici"), QStringLiteral("aktivnost"),
                            QStringLiteral("grupe")};
const QString NoticeFile = QStringLiteral("podaci/povracaj.txt");

QString dataPath(const QString &dir, const QString &name)
{
    return QDir(dir).filePath(QStringLiteral("podaci/") + name);
}

QString shown(const QDateTime &at)
{
    return at.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}

std::optional<QByteArray> readFile(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EngineError(EngineError::Kind::File, QStringLiteral("%1: %2").arg(path, f.errorString()));
    return f.readAll();
}

void writeFile(const QString &path, const QByteArray &data)
{
    QString error;
    if (!platform::writeFileAtomically(path, data, &error,
                                       QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        throw EngineError(EngineError::Kind::File, QStringLiteral("%1: %2").arg(path, error));
}

// A data directory a copy of another shop may be restored into: a new computer's, with no
// record and no closed day.
bool isFresh(const QString &dir)
{
    bool fresh = true;
    onJournalOf(dir, [&](engine::Table &journal) {
        fresh = journal.recordCount() == 0;
        try {
            fresh = fresh && !cashbook::lastClosedDay(journal);
        } catch (const EngineError &) {
            // no cash book yet: nothing was ever closed
        }
    });
    return fresh;
}

} // namespace

QString copyQuestion(const QString &name, const sealed::Label &label)
{
    if (label.version < 2)
        return QStringLiteral("Kopija %1 (starijeg oblika, samo promet)").arg(name);
    return QStringLiteral("Kopija od %1, %2")
        .arg(shown(label.sealedAt),
             label.lastDocument.isEmpty()
                 ? QStringLiteral("bez dokumenata")
                 : QStringLiteral("poslednji dokument ") + label.lastDocument);
}

namespace {

// The copies a target holds, newest first.
QStringList copiesOf(Target &target)
{
    QStringList names = target.names();
    names.removeIf([](const QString &n) { return !isCopyName(n); });
    std::sort(names.begin(), names.end(), std::greater<>());
    return names;
}

// The label of the copy `name`, fetched beside the data and opened with `key`; throws when it
// cannot be fetched or opened.
sealed::Label labelOf(const QString &dir, Target &target, const QString &name, const QByteArray &key)
{
    QTemporaryFile fetched(dataPath(dir, QStringLiteral(".~dorvanta-preuzeto-XXXXXX")));
    if (!fetched.open())
        throw EngineError(EngineError::Kind::File, fetched.errorString());
    fetched.close();
    target.get(name, fetched.fileName());
    return sealed::inspect(fetched.fileName(), key);
}

} // namespace

QList<CopyLabel> labels(const QString &dir, const Settings &settings, const QByteArray &key)
{
    QList<CopyLabel> all;
    for (const auto &target : targets(dir, settings)) {
        for (const QString &name : copiesOf(*target)) {
            CopyLabel c{target->label(), name, {}, {}};
            try {
                c.label = labelOf(dir, *target, name, key);
            } catch (const EngineError &e) {
                c.error = e.message();
            }
            all.append(c);
        }
    }
    return all;
}

QList<CopyLabel> labels(const QString &dir)
{
    const Settings own = settings(dir);
    if (!own.any())
        throw EngineError(EngineError::Kind::Refused, QStringLiteral("Kopije van lokacije nisu podesene (dorvanta-admin offsite-init)"));
    return labels(dir, own, key(dir));
}

QList<chain::Anchor> copyAnchors(const QString &dir, QStringList &notes)
{
    QList<chain::Anchor> anchors;
    const Settings own = settings(dir);
    if (!own.any() || !hasKey(dir))
        return anchors;
    const QByteArray copyKey = key(dir);
    const QString identity = DataDirectory::identity(dir);
    const QDateTime began = chain::segmentBeganIn(dir, tablePassword());
    for (const Settings &one : {Settings{own.folder, false}, Settings{QString(), own.ftp}}) {
        if (!one.any())
            continue;
        try {
            const auto target = std::move(targets(dir, one).front());
            for (const QString &name : copiesOf(*target)) {
                sealed::Label label;
                try {
                    label = labelOf(dir, *target, name, copyKey);
                } catch (const EngineError &e) {
                    notes << QStringLiteral("kopija %1 (%2) se ne cita: %3").arg(name, target->label(), e.message());
                    continue;
                }
                // The newest copy that reads speaks for every older one.
                if (label.version >= 2 && !label.chainHead.isEmpty() &&
                    (label.identity.isEmpty() || label.identity == identity) &&
                    (!began.isValid() || label.sealedAt >= began))
                    anchors << chain::Anchor{
                        QStringLiteral("kopija van lokacije %1 (%2)").arg(name, target->label()),
                        label.chainHead, label.records};
                break;
            }
        } catch (const EngineError &e) {
            notes << QStringLiteral("kopije van lokacije nisu proverene: %1").arg(e.message());
        }
    }
    return anchors;
}

OffsiteRestore::OffsiteRestore(const QString &dir, const Settings &settings, const QString &name,
                               const QByteArray &key)
    : m_dir(QDir(dir).absolutePath()), m_name(name)
{
    m_work = std::make_unique<QTemporaryDir>(dataPath(m_dir, QStringLiteral(".~dorvanta-obnova-XXXXXX")));
    if (!m_work->isValid())
        throw EngineError(EngineError::Kind::File, m_work->errorString());
    const QString packName = QFileInfo(m_work->path()).fileName() + QStringLiteral("/skup");
    m_label = fetch(m_dir, settings, name, key, packName);
    const QString pack = QDir(m_work->path()).filePath(QStringLiteral("skup"));
    m_journalBackup = QStringLiteral("bck-van-") + name.chopped(4) + QStringLiteral(".db");
    const QString journalBackupPath = dataPath(m_dir, m_journalBackup);

    if (m_label.version >= 2) {
        // The name is the moment the copy was made: a copy renamed to pass as a newer one is
        // refused.
        if (copyName(QString(), m_label.sealedAt) != name)
            throw EngineError(EngineError::Kind::Damaged, QStringLiteral("Kopija %1 je napravljena %2: ime se ne slaze sa "
                                             "vremenom u kopiji (preimenovana kopija), nista nije "
                                             "promenjeno")
                                  .arg(name, shown(m_label.sealedAt)));
        const QString own = DataDirectory::identity(m_dir);
        if (!m_label.identity.isEmpty() && m_label.identity != own) {
            if (!isFresh(m_dir))
                throw EngineError(EngineError::Kind::Refused, QStringLiteral("Kopija %1 je iz drugih podataka (identitet %2, "
                                                 "ovi podaci %3): vraca se samo u novu, praznu "
                                                 "bazu; nista nije promenjeno")
                                      .arg(name, m_label.identity, own));
            m_adopt = true;
        }
        const QStringList names = unpackShop(pack, m_work->path());
        for (const QString &needed : shopFiles().mid(0, 4))
            if (!names.contains(needed))
                throw EngineError(EngineError::Kind::Damaged, QStringLiteral("Kopija %1 nema %2").arg(name, needed));
        // Every table checked before anything is replaced.
        for (const engine::TableSchema &schema : tableSchemas()) {
            const QString file = QDir(m_work->path()).filePath(schema.name() + QStringLiteral(".db"));
            schema.checkTableFile(file, tablePassword());
            engine::checkTableIntegrity(file);
        }
        QFile::remove(journalBackupPath);
        if (!QFile::rename(QDir(m_work->path()).filePath(QStringLiteral("promet.db")), journalBackupPath))
            throw EngineError(EngineError::Kind::File, QStringLiteral("%1 se ne moze napisati").arg(journalBackupPath));
        QFile::remove(pack);
    } else {
        QFile::remove(journalBackupPath);
        if (!QFile::rename(pack, journalBackupPath))
            throw EngineError(EngineError::Kind::File, QStringLiteral("%1 se ne moze napisati").arg(journalBackupPath));
    }
    try {
        m_closedDays = restore::preview(m_dir, m_journalBackup).closedDays;
    } catch (...) {
        QFile::remove(journalBackupPath);
        throw;
    }
}

OffsiteRestore::~OffsiteRestore()
{
    if (!m_ran && !m_journalBackup.isEmpty())
        QFile::remove(dataPath(m_dir, m_journalBackup));
}

QString OffsiteRestore::run(const QString &who, const QDateTime &now)
{
    const QString work = m_work->path();
    const QString archive = QStringLiteral("bck-arhiva-") + now.toString(QStringLiteral("dd-MM-yy-HH-mm-ss")) +
                            QStringLiteral(".db");
    const QString oldFingerprint = signing::fingerprintOf(m_dir);
    QStringList lines;

    // The shop as it is, kept aside: what a failed step puts back.
    struct Kept
    {
        QString name;
        std::optional<QByteArray> bytes;
    };
    QList<Kept> keptFiles;
    QStringList replacedTables;
    QStringList restoredFiles;
    const auto putBack = [&] {
        for (const QString &table : std::as_const(replacedTables)) {
            try {
                engine::copyTableFile(QDir(work).filePath(QStringLiteral("staro-") + table),
                                      dataPath(m_dir, table));
            } catch (const EngineError &) {
            }
        }
        for (const Kept &k : std::as_const(keptFiles)) {
            if (!restoredFiles.contains(k.name))
                continue;
            try {
                if (k.bytes)
                    writeFile(dataPath(m_dir, k.name), *k.bytes);
                else
                    QFile::remove(dataPath(m_dir, k.name));
            } catch (const EngineError &) {
            }
        }
    };

    if (m_label.version >= 2) {
        for (const QString &table : Tables)
            engine::copyTableFile(dataPath(m_dir, table + QStringLiteral(".db")),
                                  QDir(work).filePath(QStringLiteral("staro-") + table + QStringLiteral(".db")));
        // The off-site set-up this computer reached the copy through stays: its folder or
        // server is where this computer finds its copies.
        const bool ownSetUp = settings(m_dir).any();
        for (const QString &name : shopFiles().mid(4)) {
            if (!QFileInfo(QDir(work).filePath(name)).isFile())
                continue;
            if (name == QLatin1String("rezerva.txt") && ownSetUp)
                continue;
            keptFiles.append({name, readFile(dataPath(m_dir, name))});
        }
        try {
            for (const QString &table : Tables) {
                replacedTables += table + QStringLiteral(".db");
                engine::copyTableFile(QDir(work).filePath(table + QStringLiteral(".db")),
                                      dataPath(m_dir, table + QStringLiteral(".db")));
            }
            for (const Kept &k : std::as_const(keptFiles)) {
                restoredFiles += k.name;
                writeFile(dataPath(m_dir, k.name), *readFile(QDir(work).filePath(k.name)));
            }
        } catch (const EngineError &e) {
            putBack();
            throw EngineError(e.kind(), QStringLiteral("Kopija %1 NIJE vracena, podaci su ostali kakvi su "
                                             "bili: %2")
                                  .arg(m_name, e.message()));
        }
    }

    restore::Outcome outcome;
    try {
        outcome = restore::run(m_dir, m_journalBackup, who, archive, m_closedDays);
    } catch (const EngineError &e) {
        putBack();
        throw EngineError(e.kind(),
            QStringLiteral("Kopija %1 NIJE vracena, podaci su ostali kakvi su bili: %2").arg(m_name, e.message()));
    }
    m_ran = true;
    lines += QStringLiteral("Vracena kopija %1 (%2)").arg(m_name, question());
    lines += outcome.archive.isEmpty() ? QStringLiteral("Arhiva NIJE snimljena: ") + outcome.archiveReason
                                       : QStringLiteral("Arhiva: podaci/") + outcome.archive;
    if (!outcome.bookError.isEmpty())
        lines += QStringLiteral("Zapisi su vraceni, ali zakljucci i brojevi NISU preneti: ") +
                 outcome.bookError;

    if (m_label.version >= 2) {
        if (m_adopt)
            DataDirectory::adoptIdentity(m_dir, m_label.identity);
        // The shop's own key back: the reports go on with the fingerprint printed so far.
        if (restoredFiles.contains(QStringLiteral("potpis-javni.pem")))
            QFile::remove(signing::newKeyFile(m_dir));
        const QString fingerprint = signing::fingerprintOf(m_dir);
        QString keyLine;
        if (!fingerprint.isEmpty() && fingerprint != oldFingerprint)
            keyLine = QStringLiteral("Kljuc potpisa vracen iz kopije: otisak %1%2")
                          .arg(fingerprint, oldFingerprint.isEmpty()
                                                ? QString()
                                                : QStringLiteral(" (umesto %1)").arg(oldFingerprint));
        QStringList acts = {QStringLiteral("korisnici, aktivnosti i grupe iz kopije %1").arg(m_name)};
        if (m_adopt)
            acts += QStringLiteral("identitet podataka %1").arg(m_label.identity);
        if (!keyLine.isEmpty()) {
            acts += keyLine;
            lines += keyLine;
        }
        if (QString e; !chain::logDirectory(m_dir, tablePassword(), QStringLiteral("POVRACAJ KOPIJE"),
                                            acts.join(QStringLiteral("; ")), &e))
            lines += QStringLiteral("Dnevnik NIJE zapisao povracaj: ") + e;
        writeFile(QDir(m_dir).filePath(NoticeFile),
                  (m_label.sealedAt.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + u'\n' +
                   m_label.lastDocument + u'\n')
                      .toUtf8());
        lines += notice(m_dir);
    }
    return lines.join(u'\n');
}

QString notice(const QString &dir)
{
    QFile f(QDir(dir).filePath(NoticeFile));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n');
    const QDateTime at = QDateTime::fromString(lines.value(0), QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    return QStringLiteral("Vracena je kopija od %1: promene posle tog vremena unesite ponovo iz "
                          "naloga.")
        .arg(shown(at));
}

void confirmNotice(const QString &dir, const QString &who)
{
    const QString text = notice(dir);
    if (text.isEmpty())
        return;
    onJournalOf(dir, [&](engine::Table &journal) {
        chain::logOwn(journal, who, QStringLiteral("NALOZI UNETI"),
                      QStringLiteral("Potvrdjeno: ") + text);
    });
    if (!QFile::remove(QDir(dir).filePath(NoticeFile)))
        throw EngineError(EngineError::Kind::File, QStringLiteral("%1 se ne moze obrisati").arg(QDir(dir).filePath(NoticeFile)));
}

QString skipNumber(const QString &dir, const QString &number, const QString &who)
{
    static const QRegularExpression pattern(QStringLiteral("^([UI])-(\\d{4})-(\\d{6})$"));
    const QRegularExpressionMatch m = pattern.match(number);
    if (!m.hasMatch())
        throw EngineError(EngineError::Kind::Value, QStringLiteral("'%1' nije broj dokumenta (U-2027-000001)").arg(number));
    const QString kind = m.captured(1);
    const qint64 year = m.captured(2).toLongLong();
    const qint64 sequence = m.captured(3).toLongLong();
    if (sequence == 0)
        throw EngineError(EngineError::Kind::Value, QStringLiteral("'%1' nije broj dokumenta (U-2027-000001)").arg(number));
    QString line;
    onJournalOf(dir, [&](engine::Table &journal) {
        cashbook::prepare(journal); // the counters' tables are there
        engine::Transaction transaction(journal);
        const qint64 last =
            journal
                .runBeside(QStringLiteral("SELECT MAX(n) FROM (SELECT MAX(REDNI) AS n FROM dorvanta_izdat "
                                          "WHERE VRSTA = ?1 AND GODINA = ?2 UNION ALL SELECT POSLEDNJI "
                                          "AS n FROM dorvanta_brojac WHERE VRSTA = ?1 AND GODINA = ?2) t"),
                           {kind, year})
                .value(0)
                .value(0)
                .toLongLong();
        if (sequence <= last)
            throw EngineError(EngineError::Kind::Refused, QStringLiteral("Broj %1 je vec izdat (poslednji izdat: %2)")
                                  .arg(number, documentNumber(kind == QLatin1String("U")
                                                                  ? DocumentKind::Receipt
                                                                  : DocumentKind::Payment,
                                                              int(year), last)));
        journal.runBeside(QStringLiteral("INSERT INTO dorvanta_izdat (VRSTA, GODINA, REDNI) VALUES (?1, ?2, ?3)"),
                          {kind, year, sequence});
        line = sequence == last + 1
                   ? QStringLiteral("Broj %1 je oznacen kao izdat").arg(number)
                   : QStringLiteral("Broj %1 je oznacen kao izdat (preskoceni su i brojevi %2 do %3)")
                         .arg(number)
                         .arg(last + 1)
                         .arg(sequence - 1);
        chain::log(journal, who, QStringLiteral("PRESKOCEN BROJ"), line);
        transaction.commit();
    });
    return line;
}

} // namespace desk::offsite
