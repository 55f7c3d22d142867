#pragma once

// ChainCodec: how the chain and the audit log say what a record or a log entry is and link
// it: the canonical encoding of stored values, SHA-256 over a link and an encoding, and links
// as text. The data-format section of doc/guide.md defines the encodings. Inside desk only:
// the chain, the log and the checks use it; it calls nothing of theirs.

#include "engine/Sha256.h"
#include "engine/TableStore.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QVariant>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <vector>

namespace desk::chain::codec {

constexpr int LinkBytes = 32;

// The record's fields in the order they are encoded: the journal's eleven, then its document
// number and the number it reverses.
#define DORVANTA_JOURNAL_COLUMNS                                                               \
    "p.KORISNIK, p.DATUM, p.VREME, p.OPIS, p.GRUPA, p.ULAZDIN, p.IZLAZDIN, p.ULAZEUR, "        \
    "p.IZLAZEUR, p.STANJEDIN, p.STANJEEUR"
inline constexpr char JournalColumns[] = DORVANTA_JOURNAL_COLUMNS;
constexpr int JournalColumnCount = 11;
inline constexpr char RecordColumns[] = DORVANTA_JOURNAL_COLUMNS ", d.BROJ, d.STORNO";
#undef DORVANTA_JOURNAL_COLUMNS
constexpr int RecordColumnCount = 13;
inline constexpr char RecordJoin[] = " FROM promet p LEFT JOIN dorvanta_dokument d ON d.ID = p.{id} ";

inline constexpr char LogColumns[] = "RB, VREME, KORISNIK, RADNJA, OPIS, ZAPISA, GLAVA, POCETAK, HES";
constexpr int LogEncodedCount = 8; // every column but HES

// A growing byte buffer for encodings that are made and hashed once per record: appending is
// a copy into memory kept from the record before.
class Encoding
{
public:
    void clear() { m_size = 0; }
    void append(const char *data, qsizetype size)
    {
        if (m_size + size > qsizetype(m_bytes.size()))
            m_bytes.resize(size_t(std::max<qsizetype>(2 * m_bytes.size(), m_size + size + 256)));
        std::memcpy(m_bytes.data() + m_size, data, size_t(size));
        m_size += size;
    }
    QByteArrayView view() const { return QByteArrayView(m_bytes.data(), m_size); }

private:
    std::vector<char> m_bytes;
    qsizetype m_size = 0;
};

// One value of the canonical encoding: "-" for an empty (NULL) value, otherwise the decimal
// byte length of its UTF-8 text, ":" and the text.
template<typename Out>
void encodeValue(Out &out, bool null, QByteArrayView text)
{
    if (null) {
        out.append("-", 1);
        return;
    }
    char digits[24];
    char *end = std::to_chars(digits, digits + sizeof digits - 1, text.size()).ptr;
    *end++ = ':';
    out.append(digits, end - digits);
    out.append(text.data(), text.size());
}

inline void encodeVariant(QByteArray &out, const QVariant &v)
{
    if (v.isNull())
        return encodeValue(out, true, {});
    const QByteArray text = v.typeId() == QMetaType::QString ? v.toString().toUtf8()
                                                              : QByteArray::number(v.toLongLong());
    encodeValue(out, false, text);
}

// The encoding of the columns [first, first + count) of a row as stored.
template<typename Out>
void encodeRow(Out &out, const engine::RecordView &row, int first, int count)
{
    for (int i = first; i < first + count; ++i) {
        const bool null = row.isNull(i);
        encodeValue(out, null, null ? QByteArrayView() : row.utf8(i));
    }
}

using Link = std::array<unsigned char, LinkBytes>;

// SHA-256 over a link and an encoding, as every link of the chain and the log is made.
class Hasher
{
public:
    // SHA-256 of the 32 bytes of `previous` and `encoding`, into `out` (which may be
    // `previous`).
    void link(const Link &previous, QByteArrayView encoding, Link &out)
    {
        m_sha.start();
        m_sha.add(QByteArrayView(reinterpret_cast<const char *>(previous.data()), LinkBytes));
        m_sha.add(encoding);
        m_sha.finish(out.data());
    }

    // The same for links kept as 32-byte arrays.
    QByteArray link(const QByteArray &previous, const QByteArray &encoding)
    {
        Link base{};
        std::copy_n(previous.constData(), std::min<qsizetype>(previous.size(), LinkBytes),
                    base.begin());
        Link out;
        link(base, encoding, out);
        return QByteArray(reinterpret_cast<const char *>(out.data()), LinkBytes);
    }

private:
    engine::Sha256 m_sha;
};

// A link from its stored text: exactly 64 lower case hex digits, the only form the program

// A link from its stored text: exactly 64 lower case hex digits, the only form the program
// writes; false for any other text.
bool parseLink(QByteArrayView hex, Link &out);

QByteArray hexOf(const Link &link);

// The 32 bytes of a link given as hex; 32 zero bytes for any text that is not one.
QByteArray raw(const QByteArray &hex);

inline qint64 integer(const QVariant &v)
{
    return v.toLongLong();
}

} // namespace desk::chain::codec
