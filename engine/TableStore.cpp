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

QString fieldsDifference(const QList<FieldDef> &stored, const QList<FieldDef> &expected)
{
    const auto find = [](const QList<FieldDef> &fields, const QString &name) {
        for (qsizetype i = 0; i < fields.size(); ++i)
            if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return qsizetype(-1);
    };
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const FieldDef &want = expected[i];
        const qsizetype at = find(stored, want.name);
        if (at < 0)
            return QStringLiteral("column %1 is missing").arg(want.name);
        if (stored[at].type != want.type)
            return QStringLiteral("column %1 is %2, not %3")
                .arg(want.name, fieldTypeName(stored[at].type), fieldTypeName(want.type));
        if (at != i)
            return QStringLiteral("column %1 is in place %2, not %3").arg(want.name).arg(at + 1).arg(i + 1);
    }
    for (const FieldDef &f : stored)
        if (find(expected, f.name) < 0)
            return QStringLiteral("column %1 is not one of the table's").arg(f.name);
    return {};
}

void requireFieldsOf(const TableStore &target, const TableStore &source)
{
    if (const QString difference = fieldsDifference(source.fields(), target.fields()); !difference.isEmpty())
        throw EngineError(EngineError::Kind::Layout, QStringLiteral("%1 is not a %2 table (%3)")
                                                         .arg(source.displayPath(), target.tableName(), difference));
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
