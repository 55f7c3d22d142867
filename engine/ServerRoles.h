#pragma once

// ServerRoles: the two roles of a shop's server. The administrator role owns the tables (the
// master data, clearing, restoring, set-up); the desk role, whose credentials sit in every
// cashier desk's baza.txt, gets only the rights a desk needs (reading the master tables,
// reading and appending to the journal), so that a desk's credentials can neither change nor
// delete a record. Passwords reach the server only as SCRAM verifiers made here, never as
// text a server log could keep.

#include <QList>
#include <QString>
#include <QStringList>

namespace engine {

struct ServerRole
{
    QString name;
    QString password;
};

// A table and the rights the desk role gets on it ("SELECT", "SELECT, INSERT", "SELECT (id,
// name)" or none).
struct ServerGrant
{
    QString table;
    QString rights;
};

// On the server at `uri` (connected as a role that may create roles and owns the tables, or a
// superuser), in one transaction: creates `admin` and `desk` as login roles, or sets their
// passwords when they exist; makes `admin` the owner of every table of `grants`; takes every
// right on them from everybody else and gives `desk` exactly its rights (and the use of a
// table's id sequence where it may insert); lets both connect, and only `admin` create tables.
// Then, in the same transaction and as the same role, runs `thenRun` (the functions the
// desk appends through, and the rights on them).
// Throws EngineError naming what failed (a table that is missing: make the tables first).
void setUpServerRoles(const QString &uri, const ServerRole &admin, const ServerRole &desk,
                      const QList<ServerGrant> &grants, const QStringList &thenRun = {});

// The URI a role uses to reach the server of `uri`: the same server and database, the role
// as user, no password.
QString serverUriAs(const QString &uri, const QString &role);

} // namespace engine
