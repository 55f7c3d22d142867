// TableStore: the field lookup every store uses, and the helpers the two stores share.

#include "engine/TableStore.h"

#include "engine/EngineError.h"

namespace engine {

int TableStore::fieldIndex(QStringView name) const
{
    // Names are usually written as stored and fields read in table order: an exact match,
    // starting after the field found last, is the cheap first try.
    const int n = int(m_fields.size());
    for (int k = 1; k <= n; ++k) {
        const int i = (m_lastIndex + k) % n;
        if (name == m_fields[i].name) {
            m_lastIndex = i;
            return i;
        }
    }
    for (int i = 0; i < m_fields.size(); ++i)
        if (name.compare(m_fields[i].name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString quoteIdentifier(const QString &name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool sameFields(const QList<FieldDef> &a, const QList<FieldDef> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i].name.compare(b[i].name, Qt::CaseInsensitive) != 0 || a[i].type != b[i].type)
            return false;
    return true;
}

void requireFieldsOf(const TableStore &target, const TableStore &source)
{
    if (!sameFields(source.fields(), target.fields()))
        throw EngineError(EngineError::Kind::Layout, QStringLiteral("%1 is not a %2 table")
                                                         .arg(source.displayPath(), target.tableName()));
}

void appendCells(const RecordView &record, const QList<FieldDef> &fields, std::vector<Cell> &cells)
{
    const int n = int(fields.size());
    for (int i = 0; i < n; ++i) {
        if (record.isNull(i))
            cells.emplace_back();
        else if (fields[i].type == FieldType::Money)
            cells.push_back(Cell::fromInteger(record.integer(i)));
        else
            cells.push_back(Cell::fromText(QString::fromUtf8(record.utf8(i))));
    }
}

QStringList createTableStatements(const TableSchema &schema,
                                  const std::function<QString(const QString &)> &name,
                                  const std::function<QString(FieldType)> &type,
                                  const QString &leadingColumn)
{
    QStringList columns;
    if (!leadingColumn.isEmpty())
        columns << leadingColumn;
    for (const FieldDef &f : schema.fields())
        columns << name(f.name) + QLatin1Char(' ') + type(f.type);
    QStringList statements{QStringLiteral("CREATE TABLE %1 (%2)")
                               .arg(name(schema.name()), columns.join(QStringLiteral(", ")))};
    for (const IndexDef &index : schema.indexes()) {
        QStringList quoted;
        for (const QString &field : index.fields)
            quoted << name(field);
        statements << QStringLiteral("CREATE INDEX %1 ON %2 (%3)")
                          .arg(name(index.name), name(schema.name()), quoted.join(QStringLiteral(", ")));
    }
    return statements;
}

} // namespace engine
