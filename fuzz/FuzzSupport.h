#pragma once

// What the fuzz targets share: the input as text, a folder of the process's own for the
// files a target works on, an application object for the parts that need one, and a check
// that aborts (so libFuzzer and the replay both stop on it) with what was wrong.

#include <QCoreApplication>
#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

inline QString text(const uint8_t *data, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
}

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
}

// A folder removed when the process ends normally.
inline QString workDir()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/dorvanta-fuzz-XXXXXX"));
    return dir.path();
}

inline void application()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

[[noreturn]] inline void fail(const char *what, const QString &detail = {})
{
    std::fprintf(stderr, "FUZZ CHECK FAILED: %s %s\n", what, qPrintable(detail));
    std::abort();
}

inline void check(bool condition, const char *what, const QString &detail = {})
{
    if (!condition)
        fail(what, detail);
}

} // namespace fuzz
