#pragma once

// The benchmarks' numeric arguments: a count is read whole, and a text that is no positive
// number ends the benchmark with status 2 and the reason, instead of running with 0.

#include <QString>

#include <cstdio>
#include <cstdlib>

namespace bench {

// The count given as `text`; `fallback` when `text` is null (the argument is absent).
inline int countArgument(const QString &text, int fallback, const char *name)
{
    if (text.isNull())
        return fallback;
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 1) {
        std::fprintf(stderr, "%s must be a positive whole number, not \"%s\"\n", name,
                     qPrintable(text));
        std::exit(2);
    }
    return value;
}

// Argument `index` of the command line, null when it is absent.
inline QString argument(int argc, char **argv, int index)
{
    return index < argc ? QString::fromLocal8Bit(argv[index]) : QString();
}

} // namespace bench
