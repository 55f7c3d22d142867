// The cash count's piece list, as the administrator types it ("5000x3,1000x12,50x7"). The
// first byte picks the currency, the rest is the list. A list is refused with an EngineError
// or read into pieces that are the currency's own denominations, each once, largest first,
// with a whole, non-negative number of pieces; written back in the same form it reads as the
// same pieces, and their sum is the sum of its parts.

#include "FuzzSupport.h"

#include "desk/CashCount.h"
#include "engine/EngineError.h"

#include <QStringList>

using desk::Currency;
using engine::Money;
namespace cashcount = desk::cashcount;

namespace {

QString written(const QList<cashcount::Pieces> &pieces)
{
    QStringList parts;
    for (const cashcount::Pieces &p : pieces)
        parts << p.denomination.toText() + QLatin1Char('x') + QString::number(p.count);
    return parts.join(QLatin1Char(','));
}

bool same(const QList<cashcount::Pieces> &a, const QList<cashcount::Pieces> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i].denomination != b[i].denomination || a[i].count != b[i].count)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const Currency currency = (data[0] & 1) ? Currency::Euros : Currency::Dinars;
    const QString text = fuzz::text(data + 1, size - 1);
    QList<cashcount::Pieces> pieces;
    try {
        pieces = cashcount::parse(text, currency);
    } catch (const engine::EngineError &e) {
        fuzz::check(!e.message().isEmpty(), "a refused list without a reason:", text);
        return 0;
    }
    fuzz::check(!pieces.isEmpty(), "an accepted list without pieces:", text);
    const QList<Money> &known = cashcount::denominations(currency);
    qint64 hundredths = 0;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const cashcount::Pieces &p = pieces[i];
        fuzz::check(known.contains(p.denomination), "a denomination the currency lacks:", text);
        fuzz::check(p.count >= 0 && p.count <= 999999999, "a count out of range:", text);
        if (i > 0)
            fuzz::check(pieces[i - 1].denomination > p.denomination,
                        "pieces not largest first, or a denomination twice:", text);
        hundredths += p.denomination.hundredths() * p.count;
    }
    fuzz::check(cashcount::total(pieces).hundredths() == hundredths, "a wrong total:", text);

    const QString again = written(pieces);
    try {
        fuzz::check(same(cashcount::parse(again, currency), pieces),
                    "a list written back reads differently:", again);
    } catch (const engine::EngineError &e) {
        fuzz::fail("a list written back is refused:", again + QStringLiteral(" -> ") + e.message());
    }
    return 0;
}
