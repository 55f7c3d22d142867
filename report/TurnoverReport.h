#pragma once

// The turnover report's definition and the document it makes.

#include "Report.h"

namespace report {

// Names of the turnover report's title labels, which the caller fills at run time.
inline constexpr char TitleLine1[] = "TitleLine1";
inline constexpr char TitleLine2[] = "TitleLine2";
inline constexpr char TitleLine3[] = "TitleLine3";
inline constexpr char TitleLine4[] = "TitleLine4";
inline constexpr char TitleLine5[] = "TitleLine5";

// The turnover report of the cash-desk journal: Letter, portrait, 12.7 mm margins; a title
// with four run-time lines and the column headings; one ruled line per posting with its
// running number, date, time, cashier, description and the four amounts; the four sums
// and the dinar and euro balances after the last posting; "Vreme:" with the time of
// printing and "Strana" with the page number at the foot of every page. It reads the
// journal fields DATUM, VREME, KORISNIK, OPIS, ULAZDIN, IZLAZDIN, ULAZEUR and IZLAZEUR.
// With `searchLine`, the title has a fifth line (TitleLine5, for the search word) under the
// fourth, and the column headings stand one line lower.
Report turnoverReport(bool searchLine = false);

// The same report for a cashier's review of his own postings: the title has no fourth
// line, and the summary has a rule along its top edge. With `reversals`, the summary has
// three lines more under the totals, filled at run time: what of the list was reversed
// (ReversedTitle and the four ReversedDinarsIn, ReversedDinarsOut, ReversedEurIn,
// ReversedEurOut), the four sums net of it (NetTitle, NetDinarsIn, ...), the balances net of
// it (NetBalanceDinars, NetBalanceEur), and the reversed documents (ReversedDocuments).
Report reviewReport(bool reversals = false);

} // namespace report
