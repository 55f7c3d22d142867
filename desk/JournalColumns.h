#pragma once

// The field names of the desk's four tables, in one place. The tables keep these names in the
// files and on the server, and the journal's export, the reports, the tools and the SQL texts
// all name the fields through these constants (the SQL dialect is text, so a statement is built
// from them with arg()). The layouts themselves are made in DeskTables.cpp.

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
