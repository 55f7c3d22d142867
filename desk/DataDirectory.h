#pragma once

// DataDirectory: creates a fresh Dorvanta data directory: DIR/podaci with the four empty
// tables protected by the table password, the user "Admin" with the given code, the FTP option
// file "ftpop.txt" holding "0" (upload off), and optionally demo content (a cashier, frequent
// activities and groups). It never touches a directory whose tables already exist. With a
// server, podaci/baza.txt (mode 0600) names it and the four tables are made there instead.
// Every function places the desk's tables on the server first (DeskTables.h).

#include <QString>
#include <QStringList>

namespace engine {
class Session;
}

namespace desk {

struct InitOptions
{
    QString directory;
    QString adminCode = QStringLiteral("12345");
    bool demo = false;
    QString server; // a PostgreSQL connection URI: the tables go to that server
};

class DataDirectory
{
public:
    static QString demoCashierName() { return QStringLiteral("Petar Petrovic"); }
    static QString demoCashierCode() { return QStringLiteral("111"); }

    // Creates DIR/podaci with the four empty tables only; returns an empty string on success,
    // else the reason (and then the tables it created are removed again).
    static QString createTables(const QString &directory);
    // Creates everything; returns an empty string on success, else the reason (and then the
    // tables it created are removed again).
    static QString create(const InitOptions &options);
    // Adds one record per value to podaci/`table` ("grupe.db"), with `field` set to the value,
    // through `session` (which has the password). Throws EngineError.
    static void addRecords(engine::Session &session, const QString &table, const QString &field,
                           const QStringList &values);
    // The tables of DIR/podaci that already exist (on the server when baza.txt names one;
    // none when it cannot be asked: create() then says why).
    static QStringList existingTables(const QString &directory);

    // Makes DIR a desk of the server at `uri`: writes DIR/podaci/baza.txt and, when missing,
    // ftpop.txt. Refuses, and changes nothing, when the server's tables are missing, have
    // another layout (the reason names the table and column) or another password. Returns the
    // reason or "".
    static QString join(const QString &uri, const QString &directory);
    // The identity of the shop whose journal DIR keeps: 32 random hex digits, made with the
    // data directory (an older one gets it at its first need) and kept with the shared
    // settings (key IDENTITET of dorvanta_postavke), so that every desk of a server has the
    // same one. An off-site copy carries it, and a restore refuses a copy of another shop.
    // Throws EngineError.
    static QString identity(const QString &directory);
    // Makes `id` the identity of DIR (a fresh directory taking over the copy it restores).
    static void adoptIdentity(const QString &directory, const QString &id);

    // Copies the four tables of DIR/podaci to the server in one transaction (see
    // engine::importTablesToServer), then the journal's cash book (document numbers, closed
    // days, counters; records without a number get one). Returns the reason or "".
    static QString importToServer(const QString &uri, const QString &directory);
};

} // namespace desk
