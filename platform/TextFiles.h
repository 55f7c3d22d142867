#pragma once

// Text files of lines, read and written whole.

#include <QByteArray>
#include <QFileDevice>
#include <QString>
#include <QStringList>

#include <optional>

namespace platform {

// Failures are reported as everywhere in platform (AtomicFile.h): false or nullopt, with the
// reason in `error`.

// Single-byte text files in Windows-1250, the code page of Serbian Latin, as the program's
// files (the journal export, the FTP option file) have always been written.

// Converts text to Windows-1250 through iconv. A character the code page lacks becomes
// its closest transliteration or "?"; nothing is dropped silently.
QByteArray toWindows1250(const QString &text);
QString fromWindows1250(const QByteArray &bytes);

// Whether the text can be one line of such a file unchanged: every character exists in
// Windows-1250 and none is a control character (U+0000 to U+001F, U+007F).
bool fitsWindows1250Line(const QString &text);

// The text with every control character (U+0000 to U+001F, U+007F) replaced by one blank,
// so that it stays on one line of a text file.
QString withoutControlCharacters(QString text);

// Writes the lines, each ending in CR LF (the last one too), replacing the file
// atomically. False on failure, with the system's reason in `error` when given.
bool saveLines(const QString &path, const QStringList &lines, QString *error = nullptr,
               QFileDevice::Permissions permissions = {});

// Reads a text file's lines; CR, LF and CR LF all end a line. nullopt when the file
// cannot be read, with the system's reason in `error`.
std::optional<QStringList> loadLines(const QString &path, QString *error = nullptr);

} // namespace platform
