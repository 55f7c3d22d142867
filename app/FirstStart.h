#pragma once

// FirstStart: the check made before the login page. A start directory without podaci/ is a
// first start: instead of letting the tables fail to open, the program offers to create the
// data directory there (the same maker as dorvanta-init), asks for the administrator's code
// twice, and only then goes on to the login page. Declined, it offers to bring the shop back
// from an off-site copy instead (a new computer after the old one was lost): the folder of the
// copies (or the FTP server that holds them in dorvanta-rezerva/ under its login folder: its
// address, user, password and port, kept as the upload option, switched on), the recovery
// text, the copy from the list of copies with their sealed times, and
// the restore (desk::offsite::OffsiteRestore, as dorvanta-admin restore-offsite). With podaci/
// present nothing is asked.

#include "desk/Offsite.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

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
inline const QString restoreQuestion =
    QStringLiteral("Vratiti podatke iz kopije van lokacije (USB disk, fascikla ili FTP server)?");
inline const QString restoreCaption = QStringLiteral("VRACANJE IZ KOPIJE");
inline const QString folderLabel = QStringLiteral(
    "Fascikla u kojoj je dorvanta-rezerva (na primer /media/usb; prazno: FTP server):");
inline const QString keyLabel = QStringLiteral("Tekst kljuca rezerve (sa papira):");
inline const QString restored =
    QStringLiteral("Podaci su vraceni. Prijavite se sifrom administratora iz kopije.");

// The list of copies and the choice of one, the question naming the copy, and the restore:
// shared by the first start and the backup page. Returns the restore's lines, or nullopt when
// the user cancelled or the restore failed (the reason was shown).
std::optional<QString> chooseAndRestore(const QString &dir, const desk::offsite::Settings &targets,
                                        const QByteArray &key, platform::Dialogs &dialogs,
                                        const QString &who, const QDateTime &now);

Result run(const QString &startDir, platform::Dialogs &dialogs);

} // namespace FirstStart
