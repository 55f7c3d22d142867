#pragma once

// DataDirectory: creates a fresh Dorvanta data directory: DIR/podaci with the four empty
// tables protected by the table password, the user "Admin" with the given code, the FTP option
// file "ftpop.txt" holding "0" (upload off), and optionally demo content (a cashier, frequent
// activities and groups). It never touches a directory whose tables already exist.

#include <QString>
#include <QStringList>

namespace engine {
class Session;
}

namespace dorvanta_init {

struct InitOptions
{
    QString directory;
    QString adminCode = QStringLiteral("12345");
    bool demo = false;
};

class DataDirectory
{
public:
    // The program's table password.
    static QString tablePassword() { return QStringLiteral("kvr604"); }
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
    // The table files of DIR/podaci that already exist.
    static QStringList existingTables(const QString &directory);
};

} // namespace dorvanta_init
