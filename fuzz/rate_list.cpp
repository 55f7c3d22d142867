// The NBS exchange rate list, as a file from outside hands it to the import. A list is
// refused with an EngineError that says why, or read into at least one rate, each of a
// three-letter currency given once, above zero, for the list's day and number; a rate
// written as text reads back as the same rate.

#include "FuzzSupport.h"

#include "desk/Rates.h"
#include "engine/EngineError.h"

#include <QSet>

namespace rates = desk::rates;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzz::bytes(data, size);
    rates::RateList list;
    try {
        list = rates::parseList(bytes);
    } catch (const engine::EngineError &e) {
        fuzz::check(!e.message().isEmpty(), "a refused list without a reason");
        fuzz::check(e.kind() == engine::EngineError::Kind::Value, "a refusal of another kind:",
                    e.message());
        return 0;
    }
    fuzz::check(!list.rates.isEmpty(), "an accepted list without rates");
    fuzz::check(list.date.isValid() && !list.number.isEmpty(), "a list without day or number");
    QSet<QString> seen;
    for (const rates::Rate &r : std::as_const(list.rates)) {
        fuzz::check(r.currency.size() == 3 && !seen.contains(r.currency),
                    "a currency not of three letters, or twice:", r.currency);
        seen.insert(r.currency);
        fuzz::check(r.millionths > 0, "a rate not above zero:", r.currency);
        fuzz::check(r.day == list.date && r.list == list.number, "a rate of another list:", r.currency);
        const QString text = rates::rateText(r.millionths);
        fuzz::check(rates::parseRate(text) == r.millionths, "a rate written back reads otherwise:", text);
    }
    return 0;
}
