#pragma once

// FirstStart: the check made before the login page. A start directory without podaci/ is a
// first start: instead of letting the tables fail to open, the program offers to create the
// data directory there (the same maker as dorvanta-init), asks for the administrator's code
// twice, and only then goes on to the login page. With podaci/ present nothing is asked.

#include <QString>

namespace platform {
class Dialogs;
}

namespace FirstStart {

enum class Result {
    Ready,    // podaci/ was there, or has just been created: show the login page
    Declined, // the user said "Ne" or cancelled: end the program, nothing was created
    Failed,   // creating failed (the user was told): end the program, nothing is left behind
};

// The questions, exact texts, so the tests and the manual page agree with the program.
QString question(const QString &startDir);
inline const QString caption = QStringLiteral("NOVA BAZA PODATAKA");
inline const QString codeLabel = QStringLiteral("Sifra administratora (1 do 5 znakova):");
inline const QString repeatLabel = QStringLiteral("Ponovite sifru administratora:");
inline const QString badLength = QStringLiteral("Sifra mora imati od 1 do 5 znakova.");
inline const QString mismatch = QStringLiteral("Sifre se ne poklapaju, unesite ih ponovo.");
inline const QString created =
    QStringLiteral("Baza podataka je napravljena. Prijavite se sifrom administratora.");

Result run(const QString &startDir, platform::Dialogs &dialogs);

} // namespace FirstStart
