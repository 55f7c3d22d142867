// DeskTables: the layouts of the desk's four tables, the table password and their placement.

#include "desk/DeskTables.h"

#include "engine/TableStores.h"

namespace desk {

namespace {

engine::FieldDef text(const char *name)
{
    return {QString::fromLatin1(name), engine::FieldType::Text};
}

engine::FieldDef money(const char *name)
{
    return {QString::fromLatin1(name), engine::FieldType::Money};
}

} // namespace

QString tablePassword()
{
    return QStringLiteral("kvr604");
}

engine::TableSchema korisnici()
{
    return engine::TableSchema(QStringLiteral("korisnici"), {text("SIFRA"), text("IMEIPREZIME")});
}

engine::TableSchema aktivnost()
{
    return engine::TableSchema(QStringLiteral("aktivnost"), {text("AKTIVNOST")});
}

engine::TableSchema grupe()
{
    return engine::TableSchema(QStringLiteral("grupe"), {text("GRUPA")});
}

engine::TableSchema promet()
{
    using engine::FieldType;
    return engine::TableSchema(
        QStringLiteral("promet"),
        {text("KORISNIK"), {QStringLiteral("DATUM"), FieldType::Date},
         {QStringLiteral("VREME"), FieldType::Time}, text("OPIS"), text("GRUPA"), money("ULAZDIN"),
         money("IZLAZDIN"), money("ULAZEUR"), money("IZLAZEUR"), money("STANJEDIN"),
         money("STANJEEUR")},
        {{QStringLiteral("promet_amounts"),
          {QStringLiteral("ULAZDIN"), QStringLiteral("IZLAZDIN"), QStringLiteral("ULAZEUR"),
           QStringLiteral("IZLAZEUR")}}});
}

const QList<engine::TableSchema> &tableSchemas()
{
    static const QList<engine::TableSchema> all = {korisnici(), aktivnost(), promet(), grupe()};
    return all;
}

void placeTablesOnServer()
{
    QStringList names;
    for (const engine::TableSchema &schema : tableSchemas())
        names << schema.name();
    engine::setServerTables(names);
}

} // namespace desk
