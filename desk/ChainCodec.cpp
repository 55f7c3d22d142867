// Parsing and printing links for the chain, the log and the checks.
#include "ChainCodec.h"

namespace desk::chain::codec {

bool parseLink(QByteArrayView hex, Link &out)
{
    static const auto values = [] {
        std::array<signed char, 256> v;
        v.fill(-1);
        for (int c = '0'; c <= '9'; ++c)
            v[size_t(c)] = static_cast<signed char>(c - '0');
        for (int c = 'a'; c <= 'f'; ++c)
            v[size_t(c)] = static_cast<signed char>(c - 'a' + 10);
        return v;
    }();
    if (hex.size() != 2 * LinkBytes)
        return false;
    const auto *p = reinterpret_cast<const unsigned char *>(hex.data());
    int bad = 0;
    for (size_t i = 0; i < LinkBytes; ++i) {
        const int high = values[p[2 * i]], low = values[p[2 * i + 1]];
        bad |= high | low;
        out[i] = static_cast<unsigned char>(high << 4 | low);
    }
    return bad >= 0;
}

QByteArray hexOf(const Link &link)
{
    return QByteArray(reinterpret_cast<const char *>(link.data()), LinkBytes).toHex();
}

QByteArray raw(const QByteArray &hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex);
    return bytes.size() == LinkBytes ? bytes : QByteArray(LinkBytes, '\0');
}

} // namespace desk::chain::codec
