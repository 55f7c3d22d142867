#pragma once

// The cash desk's tables: korisnici (users), aktivnost (frequent activities), grupe (groups)
// and promet (the journal), their layouts, and the table password that protects them. The
// engine knows tables; which four a desk has, and that they are the ones a server keeps, is
// said here.

#include "engine/TableSchema.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace engine {
class Session;
class Table;
}

namespace desk {

// The password of the desk's tables.
QString tablePassword();

// korisnici: SIFRA TEXT, IMEIPREZIME TEXT
engine::TableSchema korisnici();
// aktivnost: AKTIVNOST TEXT
engine::TableSchema aktivnost();
// grupe: GRUPA TEXT
engine::TableSchema grupe();
// promet: KORISNIK TEXT, DATUM DATE, VREME TIME, OPIS TEXT, GRUPA TEXT, ULAZDIN, IZLAZDIN,
// ULAZEUR, IZLAZEUR, STANJEDIN, STANJEEUR MONEY; with the index promet_amounts over the four
// amount fields, so that the balance sums read the index instead of the whole table.
engine::TableSchema promet();

// The four, in the order a data directory is made.
const QList<engine::TableSchema> &tableSchemas();

// Tells the engine that the desk's four tables are the ones kept on the server when the data
// folder's baza.txt names one (a backup beside them stays a file). Every program and tool of
// the desk calls it before it opens a table; the data directory functions call it themselves.
void placeTablesOnServer();

// Opens the journal (podaci/promet.db) of the data directory `dir` with `password` in a
// session of its own (its own table file connection; on the server its own connection), with
// the short date form "dd/MM/yyyy", and runs `work` on it; everything is closed when it
// returns. Throws the engine's error; inJournalOf() returns false instead, with the error's
// text in `error`.
void onJournalOf(const QString &dir, const std::function<void(engine::Table &)> &work,
                 const QString &password = tablePassword());
[[nodiscard]] bool inJournalOf(const QString &dir, const std::function<void(engine::Table &)> &work,
                               QString *error = nullptr, const QString &password = tablePassword());

// Whether `code` is the login code of a user named "Admin" in the users table of the data
// directory `dir`; otherwise false with the reason in `reason` (also when the table cannot be
// read).
[[nodiscard]] bool checkAdminCode(const QString &dir, const QString &code, QString *reason = nullptr);

// The name of the user whose login code is `code` (the last such user in stored order), or
// nullopt when there is none. On the server the login goes through the server's function,
// which binds that name to the connection: the desk reads no code. Throws EngineError when
// the users cannot be asked.
std::optional<QString> loginName(engine::Session &session, const QString &code);

// The server's side of the cash book (DeskTablesServer.cpp).
namespace server {

// How the rows that vouch for the journal (links, numbers, audit entries, closes) are
// appended: directly (a table file, or a server not yet upgraded by its administrator) or
// through the server's functions.
enum class Appending { Directly, ThroughFunctions };
Appending appending(engine::Table &journal);

// The statements that make the server's functions and give the desks' role its rights on
// them, for the tables' owner (or a superuser), after the tables exist.
QStringList setUpStatements();

// At the start of a connection of the tables' owner to a server whose functions are missing
// or older: makes them (setUpStatements()), inside the caller's transaction. False, and
// nothing done, for a table file, a desk's role or functions that are current.
bool upgrade(engine::Table &journal);

} // namespace server

} // namespace desk
