#pragma once

// The settings every desk of a journal shares, kept beside the journal in the same store so
// that all desks on a server see the same ones:
//
//   dorvanta_postavke (KLJUC, VREDNOST)   one row per setting that was ever set
//
//   LIMITDIN, LIMITEUR  the cash limit (blagajnicki maksimum) per currency, money text;
//                       0 or missing: no limit
//   SLEPIPOPIS          "1": a blind count (the book balance is shown only after the count)
//   NALOGPOSLE          "1": the voucher is shown right after each posting
//   FIRMA, ADRESA       the firm's name and address, printed at the head of every report
//   PIB, MB             the firm's tax number (9 digits, the last an ISO 7064 MOD 11,10
//                       check digit) and registration number (8 digits); empty: not set
//   PAPIR               "A4" or "Letter" (the default): the paper every printout is laid out for
//
// Reading a setting of a journal whose table is missing gives its default; writing makes the
// table.

#include "Posting.h"

#include "engine/Money.h"

#include <QString>

#include <optional>

namespace engine {
class Table;
}

namespace desk::settings {

enum class Paper { Letter, A4 };

struct Shared
{
    engine::Money limitDinars;
    engine::Money limitEuros;
    bool blindCount = false;
    bool voucherAfterPosting = false;
    QString firmName;
    QString firmAddress;
    QString pib;
    QString mb;
    Paper paper = Paper::Letter;
    engine::Money limit(Currency currency) const
    {
        return currency == Currency::Euros ? limitEuros : limitDinars;
    }
};

// Makes the table when it is missing (inside the caller's transaction).
void createTable(engine::Table &journal);

// The shared settings of the open journal (defaults for what is not set).
Shared read(engine::Table &journal);

// Why `pib` is not a tax number (PIB), ready to be shown; empty when it is one or is empty.
QString pibRefusal(const QString &pib);
// Why `mb` is not a registration number (MB: 8 digits), ready to be shown; empty when it is
// one or is empty.
QString mbRefusal(const QString &mb);

// "A4" or "Letter"; the paper of such a text (nullopt for any other).
QString paperName(Paper paper);
std::optional<Paper> paperNamed(const QString &name);

// Stores `shared` in a transaction of its own and logs who changed what; a negative limit, a
// wrong PIB or MB (pibRefusal(), mbRefusal()) is refused (engine::EngineError::Kind::Value)
// and nothing is stored.
void write(engine::Table &journal, const Shared &shared, const QString &who);

// When a receipt of `amount` in `currency` takes the balance `balance` over the limit of
// `shared`: the question to ask ("Stanje kase ce preci blagajnicki maksimum od N DIN. Visak
// uplatite u banku. Da li ste sigurni?"); empty otherwise.
QString limitQuestion(const Shared &shared, Currency currency, engine::Money balance,
                      engine::Money amount);

} // namespace desk::settings
