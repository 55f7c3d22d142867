#pragma once

// The cash desk's tables: korisnici (users), aktivnost (frequent activities), grupe (groups)
// and promet (the journal), their layouts, and the table password that protects them. The
// engine knows tables; which four a desk has, and that they are the ones a server keeps, is
// said here.

#include "engine/TableSchema.h"

#include <QList>
#include <QString>

#include <functional>

namespace engine {
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
// returns. Throws the engine's error; inJournalOf() returns its text instead (empty on success).
void onJournalOf(const QString &dir, const std::function<void(engine::Table &)> &work,
                 const QString &password = tablePassword());
QString inJournalOf(const QString &dir, const std::function<void(engine::Table &)> &work,
                    const QString &password = tablePassword());

// Empty when `code` is the login code of a user named "Admin" in the users table of the data
// directory `dir`; otherwise the reason (also when the table cannot be read).
QString checkAdminCode(const QString &dir, const QString &code);

} // namespace desk
