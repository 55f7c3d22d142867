// Names of the declared column types of the table files.

#include "engine/FieldType.h"

namespace engine {

QString fieldTypeName(FieldType type)
{
    switch (type) {
    case FieldType::Text:
        return QStringLiteral("TEXT");
    case FieldType::Date:
        return QStringLiteral("DATE");
    case FieldType::Time:
        return QStringLiteral("TIME");
    case FieldType::Money:
        return QStringLiteral("MONEY");
    }
    return {};
}

std::optional<FieldType> fieldTypeFromName(const QString &declared)
{
    for (const FieldType type : {FieldType::Text, FieldType::Date, FieldType::Time, FieldType::Money})
        if (declared.compare(fieldTypeName(type), Qt::CaseInsensitive) == 0)
            return type;
    return std::nullopt;
}

} // namespace engine
