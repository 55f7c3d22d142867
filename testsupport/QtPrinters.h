#pragma once

// Lets GoogleTest print Qt texts in failure messages. Every test file that compares texts
// includes this, so that all of them instantiate the same printer.

#include <QString>
#include <QStringList>

#include <ostream>

inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList &list, std::ostream *out)
{
    *out << '[' << list.join(QStringLiteral(" | ")).toStdString() << ']';
}
