// DeskTables: the layouts of the desk's four tables, the table password and their placement.

#include "desk/DeskTables.h"
#include "desk/JournalColumns.h"

#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "engine/TableStores.h"

#include <QDir>

namespace desk {

namespace {

engine::FieldDef text(QLatin1StringView name)
{
    return {QString(name), engine::FieldType::Text};
}

engine::FieldDef money(QLatin1StringView name)
{
    return {QString(name), engine::FieldType::Money};
}

} // namespace

QString tablePassword()
{
    return QStringLiteral("kvr604");
}

engine::TableSchema korisnici()
{
    return engine::TableSchema(QStringLiteral("korisnici"), {text(columns::UserCode), text(columns::UserName)});
}

engine::TableSchema aktivnost()
{
    return engine::TableSchema(QStringLiteral("aktivnost"), {text(columns::Activity)});
}

engine::TableSchema grupe()
{
    return engine::TableSchema(QStringLiteral("grupe"), {text(columns::GroupName)});
}

engine::TableSchema promet()
{
    using engine::FieldType;
    return engine::TableSchema(
        QStringLiteral("promet"),
        {text(columns::Cashier), {columns::Day, FieldType::Date},
         {columns::Time, FieldType::Time}, text(columns::Reason), text(columns::Group), money(columns::DinarsIn),
         money(columns::DinarsOut), money(columns::EurosIn), money(columns::EurosOut), money(columns::DinarBalance),
         money(columns::EuroBalance)},
        {{QStringLiteral("promet_amounts"),
          {columns::DinarsIn, columns::DinarsOut, columns::EurosIn,
           columns::EurosOut}}});
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

void onJournalOf(const QString &dir, const std::function<void(engine::Table &)> &work,
                 const QString &password)
{
    engine::Session session;
    session.setBaseDir(QDir(dir).absolutePath());
    session.setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
    session.setPassword(password);
    engine::Table journal(session, QStringLiteral("podaci/promet.db"));
    journal.open();
    work(journal);
}

namespace {

bool failWith(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

bool inJournalOf(const QString &dir, const std::function<void(engine::Table &)> &work,
                 QString *error, const QString &password)
{
    try {
        onJournalOf(dir, work, password);
    } catch (const engine::EngineError &e) {
        return failWith(error, e.message());
    }
    return true;
}

bool checkAdminCode(const QString &dir, const QString &code, QString *reason)
{
    engine::Session session;
    session.setBaseDir(QDir(dir).absolutePath());
    session.setPassword(tablePassword());
    try {
        if (loginName(session, code) == QStringLiteral("Admin"))
            return true;
    } catch (const engine::EngineError &e) {
        return failWith(reason, e.message());
    }
    return failWith(reason, QStringLiteral("the admin code is not right, nothing changed"));
}

std::optional<QString> loginName(engine::Session &session, const QString &code)
{
    placeTablesOnServer();
    if (engine::serverUriFor(session.resolvePath(QStringLiteral("podaci/promet.db")))) {
        engine::Table journal(session, QStringLiteral("podaci/promet.db"));
        journal.open();
        if (server::appending(journal) == server::Appending::ThroughFunctions) {
            const QList<QVariantList> rows =
                journal.runBeside(QStringLiteral("SELECT dorvanta_prijava(?1)"), {code});
            if (rows.isEmpty() || rows.front().value(0).isNull())
                return std::nullopt;
            return rows.front().value(0).toString();
        }
    }
    // The last user with the code, as the login page always took it.
    engine::Table users(session, QStringLiteral("podaci/korisnici.db"));
    users.open();
    std::optional<QString> name;
    for (users.first(); !users.eof(); users.next())
        if (users.fieldText(columns::UserCode) == code)
            name = users.fieldText(columns::UserName);
    return name;
}

} // namespace desk
