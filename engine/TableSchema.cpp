// TableSchema: a table's layout, creating a table of it and checking a stored table against it
// and a password; the stores do the work (TableStores.h).

#include "engine/TableSchema.h"

#include "engine/EngineError.h"
#include "engine/TableStore.h"
#include "engine/TableStores.h"

namespace engine {

TableSchema::TableSchema(QString name, QList<FieldDef> fields, QList<IndexDef> indexes)
    : m_name(std::move(name)), m_fields(std::move(fields)), m_indexes(std::move(indexes))
{
}

void TableSchema::createTable(const QString &filePath, const QString &password) const
{
    createTableStore(filePath, *this, password);
}

void TableSchema::checkTableFile(const QString &filePath, const QString &password) const
{
    const auto store = openTableStore(filePath, filePath);
    if (!store->passwordRecord().matches(password))
        throw EngineError(EngineError::Kind::WrongPassword,
                          QStringLiteral("Invalid password for table %1").arg(filePath));
    if (const QString difference = fieldsDifference(store->fields(), m_fields); !difference.isEmpty())
        throw EngineError(EngineError::Kind::Layout,
                          QStringLiteral("%1 is not a %2 table (%3)").arg(filePath, m_name, difference));
}

} // namespace engine
