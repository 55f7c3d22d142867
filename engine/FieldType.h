#pragma once

// The field types of the tables and how each is stored in a table file (SQLite; the server's
// columns are in ServerTable.h):
//   Text  - declared TEXT,  stored as text
//   Date  - declared DATE,  stored as ISO text "YYYY-MM-DD"
//   Time  - declared TIME,  stored as text "HH:MM:SS"
//   Money - declared MONEY, stored as an integer count of hundredths
// An empty value of any type is stored as NULL and reads back as "" (text) or 0 (money).

#include <QString>

#include <optional>

namespace engine {

enum class FieldType { Text, Date, Time, Money };

// "TEXT", "DATE", "TIME", "MONEY".
QString fieldTypeName(FieldType type);
// The type for a declared column type (case-insensitive); nullopt for any other.
std::optional<FieldType> fieldTypeFromName(const QString &declared);

struct FieldDef
{
    QString name; // upper case, as stored
    FieldType type = FieldType::Text;
};

} // namespace engine
