// SqlGenerator: walks the statement tree once, writing SQLite text with "?" for every literal
// and collecting the converted values in the same order. A literal takes the type of the field
// it is compared with (the first field among the operands of a comparison or BETWEEN).

#include "engine/SqlGenerator.h"

#include "engine/EngineError.h"
#include "engine/TableStore.h"
#include "engine/TextForms.h"

#include <optional>

namespace engine {

namespace {

class Generator
{
public:
    Generator(const TableStore &table, SqlDialect dialect) : m_table(table), m_dialect(dialect) {}

    GeneratedSql run(const SqlSelect &select)
    {
        QStringList columns;
        bool sums = false;
        bool plain = false;
        if (select.star) {
            for (const FieldDef &f : m_table.fields()) {
                columns << name(f.name);
                m_out.columns.push_back({f.name, f.type});
            }
            plain = true;
        } else {
            for (const SqlSelectItem &item : select.items) {
                const FieldDef &f = field(item.field);
                if (item.sum) {
                    if (f.type != FieldType::Money)
                        throw EngineError(EngineError::Kind::Value, QStringLiteral("Cannot sum the field '%1' in %2")
                                              .arg(f.name, m_table.displayPath()));
                    columns << QStringLiteral("SUM(%1)").arg(name(f.name));
                    m_out.columns.push_back({QStringLiteral("SUM(%1)").arg(f.name), f.type});
                    sums = true;
                } else {
                    columns << name(f.name);
                    m_out.columns.push_back({f.name, f.type});
                    plain = true;
                }
            }
        }
        if (sums && plain)
            throw EngineError(EngineError::Kind::Syntax, QStringLiteral("Fields and sums cannot be listed together in a "
                                             "statement on %1")
                                  .arg(m_table.displayPath()));
        if (plain) {
            // Integers in a money column read as integers on both stores.
            columns << (pg() ? QStringLiteral("id") : QStringLiteral("rowid"));
            m_out.columns.push_back({QString(), FieldType::Money, true});
        }
        const QString table = name(m_table.tableName());
        const QString where = select.where ? condition(*select.where) : QString();
        m_out.sql = QStringLiteral("SELECT %1 FROM %2").arg(columns.join(QStringLiteral(", ")), table);
        if (!where.isEmpty())
            m_out.sql += QStringLiteral(" WHERE ") + where;
        if (plain) {
            const QString id = pg() ? QStringLiteral("id") : QStringLiteral("rowid");
            m_out.sql += QStringLiteral(" ORDER BY ") + id;
            // The same rows by their ids: all ids, then the rows (as above, the id last) of
            // one range of ids.
            m_out.idsSql = QStringLiteral("SELECT %1 FROM %2").arg(id, table);
            if (!where.isEmpty())
                m_out.idsSql += QStringLiteral(" WHERE ") + where;
            m_out.idsSql += QStringLiteral(" ORDER BY ") + id;
            const qsizetype n = m_out.parameters.size();
            const QString mark = pg() ? QStringLiteral("$") : QStringLiteral("?");
            m_out.rangeSql = QStringLiteral("SELECT %1 FROM %2 WHERE %3 >= %4%5 AND %3 <= %4%6")
                                 .arg(columns.join(QStringLiteral(", ")), table, id, mark)
                                 .arg(n + 1)
                                 .arg(n + 2);
            if (!where.isEmpty())
                m_out.rangeSql += QStringLiteral(" AND (") + where + QLatin1Char(')');
            m_out.rangeSql += QStringLiteral(" ORDER BY ") + id;
        }
        return std::move(m_out);
    }

private:
    bool pg() const { return m_dialect == SqlDialect::Postgres; }

    QString name(const QString &stored) const
    {
        return quoteIdentifier(pg() ? stored.toLower() : stored);
    }

    const FieldDef &field(const QString &name) const
    {
        const int index = m_table.fieldIndex(name);
        if (index < 0)
            throw EngineError(EngineError::Kind::Value,
                QStringLiteral("Unknown field '%1' in %2").arg(name, m_table.displayPath()));
        return m_table.fields()[index];
    }

    // The type a literal among these operands is read as.
    std::optional<FieldType> targetType(const std::vector<std::unique_ptr<SqlExpr>> &operands) const
    {
        for (const auto &operand : operands) {
            if (operand->kind == SqlExpr::Field)
                return field(operand->text).type;
            if (operand->kind == SqlExpr::Upper)
                return FieldType::Text;
        }
        return std::nullopt;
    }

    QString bind(Cell value)
    {
        m_out.parameters.push_back(std::move(value));
        return (pg() ? QStringLiteral("$%1") : QStringLiteral("?%1")).arg(m_out.parameters.size());
    }

    QString literal(const SqlExpr &expr, std::optional<FieldType> target)
    {
        const QString &text = expr.text;
        switch (target.value_or(FieldType::Text)) {
        case FieldType::Date: {
            auto date = parseSqlDateLiteral(text);
            if (!date)
                date = isoToDate(text);
            if (!date)
                throw EngineError(EngineError::Kind::Value, QStringLiteral("'%1' is not a valid date").arg(text));
            return bind(Cell::fromText(dateToIso(*date)));
        }
        case FieldType::Money:
            return bind(Cell::fromInteger(Money::parse(text).hundredths()));
        case FieldType::Time:
            if (const auto time = parseTimeText(text))
                return bind(Cell::fromText(timeText(*time)));
            return bind(Cell::fromText(text));
        case FieldType::Text:
            break;
        }
        return bind(Cell::fromText(text));
    }

    QString operand(const SqlExpr &expr, std::optional<FieldType> target)
    {
        switch (expr.kind) {
        case SqlExpr::Field:
            return name(field(expr.text).name);
        case SqlExpr::String:
        case SqlExpr::Number:
            return literal(expr, target);
        case SqlExpr::Upper:
            return (pg() ? QStringLiteral("upper(CAST(%1 AS text))") : QStringLiteral("dorvanta_upper(%1)")).arg(operand(*expr.args[0], std::nullopt));
        default:
            break;
        }
        throw EngineError(EngineError::Kind::Syntax, QStringLiteral("Syntax error at position %1: expected a field name or a value")
                              .arg(expr.position));
    }

    QString condition(const SqlExpr &expr)
    {
        switch (expr.kind) {
        case SqlExpr::And:
        case SqlExpr::Or:
            return QStringLiteral("(%1 %2 %3)")
                .arg(condition(*expr.args[0]),
                     expr.kind == SqlExpr::And ? QStringLiteral("AND") : QStringLiteral("OR"),
                     condition(*expr.args[1]));
        case SqlExpr::Not:
            return QStringLiteral("(NOT %1)").arg(condition(*expr.args[0]));
        case SqlExpr::Compare: {
            const auto target = targetType(expr.args);
            const QString left = operand(*expr.args[0], target);
            const QString right = operand(*expr.args[1], target);
            return QStringLiteral("(%1 %2 %3)").arg(left, expr.text, right);
        }
        case SqlExpr::Between: {
            const auto target = targetType(expr.args);
            const QString value = operand(*expr.args[0], target);
            const QString low = operand(*expr.args[1], target);
            const QString high = operand(*expr.args[2], target);
            return QStringLiteral("(%1 %2BETWEEN %3 AND %4)")
                .arg(value, expr.negated ? QStringLiteral("NOT ") : QString(), low, high);
        }
        case SqlExpr::Like: {
            const QString value = operand(*expr.args[0], std::nullopt);
            const QString pattern = operand(*expr.args[1], std::nullopt);
            const bool escaped = expr.args.size() > 2;
            const QString escape = escaped ? literal(*expr.args[2], std::nullopt) : QString();
            if (pg())
                return QStringLiteral("(CAST(%1 AS text) %2LIKE %3 ESCAPE %4)")
                    .arg(value, expr.negated ? QStringLiteral("NOT ") : QString(), pattern,
                         escaped ? escape : QStringLiteral("''"));
            return QStringLiteral("(%1dorvanta_like(%2, %3%4))")
                .arg(expr.negated ? QStringLiteral("NOT ") : QString(), pattern, value,
                     escaped ? QStringLiteral(", ") + escape : QString());
        }
        case SqlExpr::IsNull:
            return QStringLiteral("(%1 IS %2NULL)")
                .arg(operand(*expr.args[0], std::nullopt),
                     expr.negated ? QStringLiteral("NOT ") : QString());
        default:
            break;
        }
        throw EngineError(EngineError::Kind::Syntax,
            QStringLiteral("Syntax error at position %1: expected a condition").arg(expr.position));
    }

    const TableStore &m_table;
    SqlDialect m_dialect;
    GeneratedSql m_out;
};

} // namespace

GeneratedSql SqlGenerator::generate(const SqlSelect &select, const TableStore &table,
                                   SqlDialect dialect)
{
    return Generator(table, dialect).run(select);
}

} // namespace engine
