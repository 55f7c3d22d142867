#pragma once

// Journals for report tests: in-memory records with the journal's fields.

#include "report/MemoryDataSource.h"

#include <QDate>
#include <QTime>

#include <memory>

namespace testjournal {

struct Posting
{
    QString date;
    QString time;
    QString cashier;
    QString description;
    QString dinarsIn = QStringLiteral("0.00");
    QString dinarsOut = QStringLiteral("0.00");
    QString eurIn = QStringLiteral("0.00");
    QString eurOut = QStringLiteral("0.00");
};

inline std::shared_ptr<report::MemoryDataSource> journal(const QList<Posting> &postings)
{
    auto data = std::make_shared<report::MemoryDataSource>(
        QStringList{"DATUM", "VREME", "KORISNIK", "OPIS", "ULAZDIN", "IZLAZDIN", "ULAZEUR",
                    "IZLAZEUR", "GRUPA"});
    for (const Posting &p : postings) {
        data->append({p.date, p.time, p.cashier, p.description, p.dinarsIn, p.dinarsOut, p.eurIn,
                      p.eurOut, "Gorivo"});
    }
    return data;
}

// `count` postings; posting i (from 0) takes i + 1 dinars in and, every third one, 0.25
// euros out.
inline std::shared_ptr<report::MemoryDataSource> numberedJournal(int count)
{
    QList<Posting> postings;
    for (int i = 0; i < count; ++i) {
        Posting p;
        p.date = QDate(2026, 12, 1).addDays(i % 28).toString("dd/MM/yyyy");
        p.time = QTime(8, 0).addSecs(i * 60 % 36000).toString("HH:mm:ss");
        p.cashier = QStringLiteral("Kasir %1").arg(i % 3);
        p.description = QStringLiteral("Posting %1").arg(i + 1);
        p.dinarsIn = QStringLiteral("%1.00").arg(i + 1);
        if (i % 3 == 0)
            p.eurOut = QStringLiteral("0.25");
        postings.append(p);
    }
    return journal(postings);
}

} // namespace testjournal
