#pragma once

// Bringing the shop back from an off-site copy: the one operation behind dorvanta-admin
// restore-offsite, the first start's restore and the backup page's.
//
//   OffsiteRestore r(dir, targets, name, key);  fetches the copy, checks it whole, against its
//                                               name and the shop, and unpacks it beside the
//                                               data; nothing of the shop changes yet
//   r.question()                                "Kopija od 31/12/2026 16:01:33, poslednji
//                                               dokument I-2026-000009", what the user confirms
//   r.run(who, now)                             restores it all
//
// A copy of the whole shop (version 2) replaces the tables korisnici, aktivnost and grupe, the
// files it carries and, last, the journal with its cash book (restore::run). Everything is
// checked before anything is replaced, and the shop as it was is kept aside: when a table or a
// file cannot be written, or the journal cannot be replaced, what was replaced already is put
// back and the reason thrown. The audit log afterwards holds every entry of the copy, in order,
// then the entries of the directory restored into, then the restore. A copy of another shop is
// refused, except into a fresh data directory (no records, no closed day: a new computer),
// which takes over the copy's identity. An older copy (version 1, the journal alone) restores
// the journal as before.
//
// After a restore the data directory keeps podaci/povracaj.txt (the copy's moment and last
// document): the posting page and the administrator's menu show notice() until the
// administrator confirms that the postings after the copy were entered again.
//
// Failures throw engine::EngineError with a text ready to be shown.

#include "Chain.h"
#include "DayCloses.h"
#include "Offsite.h"
#include "SealedBackup.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace desk::offsite {

// "Kopija od 31/12/2026 16:01:33, poslednji dokument I-2026-000009" (", bez dokumenata" when
// the journal is empty; an older copy: "Kopija <name> (starijeg oblika, samo promet)").
QString copyQuestion(const QString &name, const sealed::Label &label);

// The label of every copy on the targets of `settings`, each fetched and checked whole
// without restoring anything: for the lists of copies and as anchors of the chain. A copy
// that does not read has `error` set.
struct CopyLabel
{
    QString target;
    QString name;
    sealed::Label label;
    QString error;
};
QList<CopyLabel> labels(const QString &dir, const Settings &settings, const QByteArray &key);
// labels() of the copies on the data directory's own targets with its own key: what each
// copy vouches for (its moment, the shop, the chain head and record count, the last document),
// the anchors a check of the journal can hold it against. Throws when no target or key is
// set up.
QList<CopyLabel> labels(const QString &dir);

// The anchors the data directory's off-site copies give a check of its journal: on each
// target the newest copy that reads, when it was sealed from this data directory within the
// journal's current segment (a clearing or restore after it began another chain, which the
// copy no longer speaks for). A target or copy that cannot be read is a line in `notes`, not
// a fault of the journal: a disk that is not plugged in proves nothing either way.
QList<chain::Anchor> copyAnchors(const QString &dir, QStringList &notes);

class OffsiteRestore
{
public:
    OffsiteRestore(const QString &dir, const Settings &settings, const QString &name,
                   const QByteArray &key);
    ~OffsiteRestore();
    OffsiteRestore(const OffsiteRestore &) = delete;
    OffsiteRestore &operator=(const OffsiteRestore &) = delete;

    const sealed::Label &label() const { return m_label; }
    QString question() const { return copyQuestion(m_name, m_label); }
    // The closed days the restore would change (they need the administrator's consent).
    const QList<cashbook::ClosedDayDrift> &closedDays() const { return m_closedDays; }
    // Whether the copy is of another shop and the directory takes over its identity.
    bool adoptsIdentity() const { return m_adopt; }
    // The local backup the journal is restored from (podaci/bck-van-...db).
    const QString &journalBackup() const { return m_journalBackup; }

    // Restores in the name of `who`; returns the lines to show.
    QString run(const QString &who, const QDateTime &now);

private:
    QString m_dir;
    QString m_name;
    sealed::Label m_label;
    std::unique_ptr<QTemporaryDir> m_work;
    QString m_journalBackup;
    QList<cashbook::ClosedDayDrift> m_closedDays;
    bool m_adopt = false;
    bool m_ran = false;
};

// "Kopija od DD/MM/YYYY HH:MM:SS je vracena: promene posle tog vremena unesite ponovo iz
// naloga." while podaci/povracaj.txt is there; empty otherwise.
QString notice(const QString &dir);
// The administrator confirms that the postings after the copy are entered again; logged.
void confirmNotice(const QString &dir, const QString &who);

// Marks the document number `number` ("U-2027-000001") as given, so that it is never given:
// the counter of its kind and year is raised to it (the numbers between are skipped too) and
// the act logged. Refused when the number was given already or is not a document number.
// Returns the line to show.
QString skipNumber(const QString &dir, const QString &number, const QString &who);

} // namespace desk::offsite
