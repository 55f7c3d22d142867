#pragma once

// The field names of the desk's four tables, in one place. The tables keep these names in the
// files and on the server. The layouts (DeskTables.cpp) are made from these constants, and
// the code that reaches a field by its name (a posting's fields, the balances, the grids, the
// master data, the tools) names it through them. SQL statements spell the names in their text,
// as SQL reads; the report layouts (report/, which knows nothing of desk) bind their fields by
// the same names.

#include <QLatin1StringView>

namespace desk::columns {

// promet, the journal: one record per posting.
inline constexpr QLatin1StringView Cashier{"KORISNIK"};   // the cashier's name
inline constexpr QLatin1StringView Day{"DATUM"};          // DATE
inline constexpr QLatin1StringView Time{"VREME"};         // TIME
inline constexpr QLatin1StringView Reason{"OPIS"};        // the reason of the posting
inline constexpr QLatin1StringView Group{"GRUPA"};        // its turnover group
inline constexpr QLatin1StringView DinarsIn{"ULAZDIN"};
inline constexpr QLatin1StringView DinarsOut{"IZLAZDIN"};
inline constexpr QLatin1StringView EurosIn{"ULAZEUR"};
inline constexpr QLatin1StringView EurosOut{"IZLAZEUR"};
inline constexpr QLatin1StringView DinarBalance{"STANJEDIN"}; // the running balances
inline constexpr QLatin1StringView EuroBalance{"STANJEEUR"};

// korisnici, the users.
inline constexpr QLatin1StringView UserCode{"SIFRA"};
inline constexpr QLatin1StringView UserName{"IMEIPREZIME"};

// aktivnost, the frequent activities.
inline constexpr QLatin1StringView Activity{"AKTIVNOST"};

// grupe, the turnover groups: the field is named as the journal's Group.
inline constexpr QLatin1StringView GroupName{"GRUPA"};

} // namespace desk::columns
