// Money, date and time text, as the user types it and as files and statements carry it. Every
// reader either refuses the text or gives a value that its writer turns into text the reader
// gives back unchanged; the strict and the throwing forms agree. The first line may also be a
// date form of the user's own (the system's short date form), tried on the rest of the text.

#include "FuzzSupport.h"

#include "engine/EngineError.h"
#include "engine/Money.h"
#include "engine/TextForms.h"
#include "platform/DecimalText.h"

namespace {

void money(const QString &t)
{
    const std::optional<engine::Money> m = engine::Money::tryParse(t);
    bool threw = false;
    try {
        const engine::Money strict = engine::Money::parse(t);
        fuzz::check(m && strict == *m, "Money::parse and tryParse differ on", t);
    } catch (const engine::EngineError &) {
        threw = true;
    }
    fuzz::check(threw == !m.has_value(), "Money::parse throws where tryParse reads", t);
    if (!m)
        return;
    const QString written = m->toText();
    const std::optional<engine::Money> again = engine::Money::tryParse(written);
    fuzz::check(again && *again == *m, "money text does not read back:", t + QStringLiteral(" -> ") + written);
}

void date(const engine::DateTextFormat &form, const QString &t, bool strictForm)
{
    const std::optional<QDate> d = form.parse(t);
    bool threw = false;
    try {
        const QDate strict = form.parseOrThrow(t);
        fuzz::check(d && strict == *d, "parse and parseOrThrow differ on", t);
    } catch (const engine::EngineError &) {
        threw = true;
    }
    fuzz::check(threw == !d.has_value(), "parseOrThrow throws where parse reads", t);
    if (!d)
        return;
    fuzz::check(d->isValid(), "a date that is no day from", t);
    const QString written = form.toText(*d);
    if (strictForm) {
        fuzz::check(form.parse(written) == d, "date text does not read back:", t + QStringLiteral(" -> ") + written);
        const QString iso = form.textToIso(t);
        fuzz::check(form.isoToText(iso) == written, "date text via ISO differs:", t);
    }
}

void iso(const QString &t)
{
    const std::optional<QDate> d = engine::isoToDate(t);
    int y = 0, m = 0, day = 0;
    const bool read = platform::readIsoDate(t.utf16(), t.size(), y, m, day);
    fuzz::check(read == d.has_value(), "the two ISO readers differ on", t);
    if (d) {
        fuzz::check(QDate(y, m, day) == *d, "the two ISO readers give different days for", t);
        fuzz::check(engine::dateToIso(*d) == t, "an ISO date does not write back as read:", t);
    }
}

void time(const QString &t)
{
    const std::optional<QTime> v = engine::parseTimeText(t);
    if (!v)
        return;
    fuzz::check(v->isValid(), "a time that is no time from", t);
    fuzz::check(engine::parseTimeText(engine::timeText(*v)) == v, "time text does not read back:", t);
}

void sqlDate(const QString &t)
{
    const std::optional<QDate> d = engine::parseSqlDateLiteral(t);
    fuzz::check(!d || d->isValid(), "a quoted date that is no day:", t);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const engine::DateTextFormat usual(QStringLiteral("dd/MM/yyyy"));
    static const engine::DateTextFormat dotted(QStringLiteral("d.M.yy"));
    const QString t = fuzz::text(data, size);
    money(t);
    date(usual, t, true);
    date(dotted, t, true);
    iso(t);
    time(t);
    sqlDate(t);
    const qsizetype nl = t.indexOf(u'\n');
    if (nl > 0 && nl <= 40) {
        // A form of the user's own: no check beyond reading safely and giving real days.
        const engine::DateTextFormat own(t.left(nl));
        date(own, t.mid(nl + 1), false);
        if (const auto d = own.parse(t.mid(nl + 1)))
            (void)own.toText(*d);
    }
    return 0;
}
