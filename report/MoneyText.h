#pragma once

// Amounts as the reports print them.

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <optional>

namespace report {

// The mask "0.00": at least one digit before the point, exactly two after it, no thousands
// separator, a minus sign when negative. The value is a count of hundredths and is printed
// exactly, whatever its size ("-20.50", "1500.00", "12345678.45").
QString formatHundredths(qint64 hundredths);

// Reads amount text: an optional minus sign, digits, and optionally "." with one or two
// digits; blanks around it are ignored. Anything else, or a value beyond 64 bits, is not a
// number.
std::optional<qint64> parseHundredths(QStringView text);

} // namespace report
