#pragma once

// SideRows: the chain's links and the document numbers read alongside a walk of the journal,
// a chunk at a time, for the checks. Inside desk only.

#include "ChainCodec.h"

#include "engine/Table.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

namespace desk::chain {

// A side table's rows in the order of ID as a walk of the journal meets them, read a chunk at
// a time along the table's key: memory stays small however long the journal is, and each row
// costs one step along the key instead of a look-up from the key's root per record.
// `columns` are read after ID; `keep(row, buffer)` keeps one row (the chunk's values that
// are not fixed in size go to `buffer`).
template<typename Row>
class SideRows
{
public:
    using Keep = std::function<void(const engine::RecordView &, Row &, QByteArray &)>;
    SideRows(engine::Table &journal, const char *table, const char *columns, Keep keep)
        : m_journal(journal),
          m_first(QStringLiteral("SELECT ID, %1 FROM %2 WHERE ID IS NOT NULL ORDER BY ID LIMIT %3")
                      .arg(QLatin1String(columns), QLatin1String(table)).arg(Chunk)),
          m_next(QStringLiteral("SELECT ID, %1 FROM %2 WHERE ID > ?1 ORDER BY ID LIMIT %3")
                     .arg(QLatin1String(columns), QLatin1String(table)).arg(Chunk)),
          m_keep(std::move(keep))
    {
    }

    // The row with ID `id`, or null when there is none; ids asked for must grow.
    const Row *find(qint64 id)
    {
        for (;;) {
            while (m_at < m_rows.size() && m_rows[m_at].id < id)
                ++m_at;
            if (m_at < m_rows.size())
                return m_rows[m_at].id == id ? &m_rows[m_at] : nullptr;
            if (!refill())
                return nullptr;
        }
    }
    const QByteArray &buffer() const { return m_buffer; }

private:
    static constexpr int Chunk = 8192;

    bool refill()
    {
        if (m_done)
            return false;
        const bool first = !m_started;
        const qint64 after = m_rows.empty() ? 0 : m_rows.back().id;
        m_started = true;
        m_rows.clear();
        m_buffer.resize(0);
        m_at = 0;
        m_journal.scanBeside(first ? m_first : m_next, first ? QVariantList() : QVariantList{after},
                             [this](const engine::RecordView &row) {
                                 Row &r = m_rows.emplace_back();
                                 r.id = row.integer(0);
                                 m_keep(row, r, m_buffer);
                             });
        m_done = m_rows.size() < size_t(Chunk);
        return !m_rows.empty();
    }

    engine::Table &m_journal;
    const QString m_first, m_next;
    Keep m_keep;
    std::vector<Row> m_rows;
    QByteArray m_buffer;
    size_t m_at = 0;
    bool m_started = false;
    bool m_done = false;
};

// A record's link as the chain stores it.
struct StoredLink
{
    qint64 id;
    qint64 position;
    codec::Link link;
    bool valid; // the stored text is a link at all
};

inline SideRows<StoredLink> storedLinks(engine::Table &journal)
{
    return SideRows<StoredLink>(journal, "dorvanta_lanac", "REDNI, HES",
                                [](const engine::RecordView &row, StoredLink &l, QByteArray &) {
                                    l.position = row.isNull(1) ? 0 : row.integer(1);
                                    l.valid = !row.isNull(2) && codec::parseLink(row.utf8(2), l.link);
                                });
}

// A record's number and the number it reverses, encoded as they end the record's encoding:
// the bytes [offset, end) of the chunk's buffer, the number's own encoding up to `between`.
struct StoredNumber
{
    qint64 id;
    qsizetype offset;
    qsizetype between;
    qsizetype end;
};

inline SideRows<StoredNumber> storedNumbers(engine::Table &journal)
{
    return SideRows<StoredNumber>(journal, "dorvanta_dokument", "BROJ, STORNO",
                                  [](const engine::RecordView &row, StoredNumber &n, QByteArray &text) {
                                      n.offset = text.size();
                                      codec::encodeRow(text, row, 1, 1);
                                      n.between = text.size();
                                      codec::encodeRow(text, row, 2, 1);
                                      n.end = text.size();
                                  });
}

} // namespace desk::chain
