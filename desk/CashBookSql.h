#pragma once

// CashBookSql: what the parts of the cash book share of its tables (see CashBook.h): the
// counters' statements, the columns of a close and of a record with its number, a writer of
// number rows, and the refusal of a closed day. Inside desk only. Every statement is in the
// SQL that SQLite and PostgreSQL share (engine::Table::runBeside).

#include "BookEntries.h"
#include "StoreSupport.h"

#include "engine/EngineError.h"
#include "engine/Table.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QVariantList>

#include <optional>

namespace desk::cashbook::sql {

inline QString letter(DocumentKind kind)
{
    return kind == DocumentKind::Receipt ? QStringLiteral("U") : QStringLiteral("I");
}

inline int yearOf(const QVariant &isoDate)
{
    return isoDate.toString().left(4).toInt(); // a record without a date counts in year 0
}

// The counters are kept in two tables. dorvanta_brojac holds, per kind and year, the last
// number given as of the administrator's last tidying (tidy()); every number given since is
// appended to dorvanta_izdat. A desk so only reads and appends: the next number of ?1 ("U",
// "I", "Z") in year ?2 is one past the larger of the two, and appending it to dorvanta_izdat
// (whose key is the kind, the year and the number) takes it. Desks give numbers under the
// journal's write lock, so two never take the same one; if they did, the key refuses the second.
inline constexpr char NextInCounter[] =
    "INSERT INTO dorvanta_izdat (VRSTA, GODINA, REDNI) SELECT CAST(?1 AS TEXT), "
    "CAST(?2 AS BIGINT), COALESCE(MAX(n), 0) + 1 FROM (SELECT MAX(REDNI) AS n FROM dorvanta_izdat "
    "WHERE VRSTA = ?1 AND GODINA = ?2 UNION ALL SELECT POSLEDNJI AS n FROM dorvanta_brojac "
    "WHERE VRSTA = ?1 AND GODINA = ?2) t";

// The last number given of ?1 in year ?2, as POSLEDNJI (after NextInCounter, the one it took).
inline constexpr char LastInCounter[] =
    "(SELECT MAX(REDNI) AS POSLEDNJI FROM dorvanta_izdat WHERE VRSTA = ?4 AND GODINA = ?5) t";

// The last number given per kind and year: VRSTA, GODINA, POSLEDNJI.
inline constexpr char AllCounters[] =
    "SELECT VRSTA, GODINA, MAX(POSLEDNJI) FROM (SELECT VRSTA, GODINA, POSLEDNJI FROM "
    "dorvanta_brojac UNION ALL SELECT VRSTA, GODINA, REDNI AS POSLEDNJI FROM dorvanta_izdat) t "
    "GROUP BY VRSTA, GODINA";

// A counter row's POSLEDNJI as documentNumber() writes it: six digits at least.
inline constexpr char SequenceText[] = "CASE WHEN POSLEDNJI < 1000000 THEN substr(CAST(1000000 + POSLEDNJI "
                            "AS TEXT), 2) ELSE CAST(POSLEDNJI AS TEXT) END";

inline constexpr char LastClosedDay[] = "SELECT MAX(DATUM) FROM dorvanta_zakljucak";

// The next number of `kind` in `year`.
inline qint64 nextSequence(engine::Table &journal, const QString &kind, int year)
{
    const QList<QVariantList> rows = journal.runBeside(
        QString::fromLatin1(NextInCounter) + QStringLiteral(" RETURNING REDNI"), {kind, year});
    return rows.value(0).value(0).toLongLong();
}

inline QString numberPrefix(DocumentKind kind, int year)
{
    return QStringLiteral("%1-%2-").arg(letter(kind)).arg(year, 4, 10, QLatin1Char('0'));
}

inline std::optional<QDate> lastClosedOf(const QList<QVariantList> &rows)
{
    if (rows.isEmpty() || rows.front().value(0).isNull())
        return std::nullopt;
    return QDate::fromString(rows.front().value(0).toString(), Qt::ISODate);
}

inline void refuseClosed(const QDate &day, const std::optional<QDate> &last)
{
    if (last && day <= *last)
        throw engine::EngineError(engine::EngineError::Kind::Refused,
                          QStringLiteral("Dan %1 je zakljucen (poslednji zakljuceni dan je %2): "
                                         "promena nije proknjizena. Prijavite se ponovo.")
                              .arg(day.toString(DateShown), last->toString(DateShown)));
}

inline constexpr char CloseColumns[] = "DATUM, BROJ, KORISNIK, VREME, PRETHODNODIN, ULAZDIN, IZLAZDIN, "
                            "STANJEDIN, PRETHODNOEUR, ULAZEUR, IZLAZEUR, STANJEEUR";

// Writes rows of dorvanta_dokument (ID, BROJ, STORNO) a few hundred to a statement.
class NumberRows
{
public:
    // `skipTaken`: a row whose ID or BROJ is taken already is left out rather than refused.
    NumberRows(engine::Table &journal, bool skipTaken) : m_journal(journal), m_skipTaken(skipTaken) {}
    void add(qint64 id, const QString &number, const QVariant &reverses = {})
    {
        if (!m_sql.isEmpty())
            m_sql += QLatin1String(", ");
        m_sql += QStringLiteral("(?%1, ?%2, ?%3)")
                     .arg(m_params.size() + 1)
                     .arg(m_params.size() + 2)
                     .arg(m_params.size() + 3);
        m_params << id << number << reverses;
        if (m_params.size() >= 3 * 300)
            flush();
    }
    void flush()
    {
        if (m_params.isEmpty())
            return;
        m_journal.runBeside(QStringLiteral("INSERT INTO dorvanta_dokument (ID, BROJ, STORNO) VALUES ") +
                                m_sql + (m_skipTaken ? QStringLiteral(" ON CONFLICT DO NOTHING") : QString()),
                            m_params);
        m_sql.clear();
        m_params.clear();
    }

private:
    engine::Table &m_journal;
    bool m_skipTaken;
    QString m_sql;
    QVariantList m_params;
};


} // namespace desk::cashbook::sql
