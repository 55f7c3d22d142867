// TableSchema: the layouts of the four standard tables, and checking a stored table against a
// layout and a password. Creating, copying and the integrity check are the store's
// (TableFile.cpp).

#include "engine/TableSchema.h"

#include "engine/EngineError.h"
#include "engine/TableStore.h"

namespace engine {

namespace {

FieldDef text(const char *name)
{
    return {QString::fromLatin1(name), FieldType::Text};
}

FieldDef money(const char *name)
{
    return {QString::fromLatin1(name), FieldType::Money};
}

} // namespace

TableSchema::TableSchema(QString name, QList<FieldDef> fields, QList<IndexDef> indexes)
    : m_name(std::move(name)), m_fields(std::move(fields)), m_indexes(std::move(indexes))
{
}

TableSchema TableSchema::korisnici()
{
    return TableSchema(QStringLiteral("korisnici"), {text("SIFRA"), text("IMEIPREZIME")});
}

TableSchema TableSchema::aktivnost()
{
    return TableSchema(QStringLiteral("aktivnost"), {text("AKTIVNOST")});
}

TableSchema TableSchema::grupe()
{
    return TableSchema(QStringLiteral("grupe"), {text("GRUPA")});
}

TableSchema TableSchema::promet()
{
    return TableSchema(QStringLiteral("promet"),
                       {text("KORISNIK"), {QStringLiteral("DATUM"), FieldType::Date},
                        {QStringLiteral("VREME"), FieldType::Time}, text("OPIS"), text("GRUPA"),
                        money("ULAZDIN"), money("IZLAZDIN"), money("ULAZEUR"), money("IZLAZEUR"),
                        money("STANJEDIN"), money("STANJEEUR")},
                       {{QStringLiteral("promet_amounts"),
                         {QStringLiteral("ULAZDIN"), QStringLiteral("IZLAZDIN"),
                          QStringLiteral("ULAZEUR"), QStringLiteral("IZLAZEUR")}}});
}

void TableSchema::createTable(const QString &filePath, const QString &password) const
{
    createTableStore(filePath, *this, password);
}

void TableSchema::checkTableFile(const QString &filePath, const QString &password) const
{
    const auto store = openTableStore(filePath, filePath);
    if (!store->passwordRecord().matches(password))
        throw EngineError(QStringLiteral("Invalid password for table %1").arg(filePath));
    const QList<FieldDef> &fields = store->fields();
    bool same = fields.size() == m_fields.size();
    for (qsizetype i = 0; same && i < m_fields.size(); ++i)
        same = fields[i].name.compare(m_fields[i].name, Qt::CaseInsensitive) == 0 &&
               fields[i].type == m_fields[i].type;
    if (!same)
        throw EngineError(QStringLiteral("%1 is not a %2 table").arg(filePath, m_name));
}

} // namespace engine
