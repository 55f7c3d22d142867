// Windows-1250 text through iconv, and whole text files of CR LF lines.
#include "TextFiles.h"

#include "AtomicFile.h"

#include <QFile>

#include <cerrno>
#include <iconv.h>
#include <string_view>

namespace platform {

namespace {

// One conversion through iconv; `to` may carry //TRANSLIT.
QByteArray convert(const char *to, const char *from, const QByteArray &in)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return {};
    QByteArray out;
    out.resize(in.size() * 2 + 16);
    char *inPtr = const_cast<char *>(in.constData());
    size_t inLeft = size_t(in.size());
    char *outPtr = out.data();
    size_t outLeft = size_t(out.size());
    while (inLeft > 0) {
        const size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        if (r != size_t(-1))
            continue;
        if (errno == E2BIG) {
            const qsizetype used = outPtr - out.data();
            out.resize(out.size() * 2);
            outPtr = out.data() + used;
            outLeft = size_t(out.size() - used);
        } else {
            // An unconvertible or broken sequence: write "?" and skip one input byte
            // (to the next UTF-8 lead byte when the input is UTF-8).
            if (outLeft == 0) {
                const qsizetype used = outPtr - out.data();
                out.resize(out.size() * 2);
                outPtr = out.data() + used;
                outLeft = size_t(out.size() - used);
            }
            *outPtr++ = '?';
            --outLeft;
            ++inPtr;
            --inLeft;
            while (inLeft > 0 && (static_cast<unsigned char>(*inPtr) & 0xC0) == 0x80 &&
                   std::string_view(from) == "UTF-8") {
                ++inPtr;
                --inLeft;
            }
        }
    }
    out.resize(outPtr - out.data());
    iconv_close(cd);
    return out;
}

bool isAscii(const QByteArray &bytes)
{
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

} // namespace

QByteArray toWindows1250(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    if (isAscii(utf8))
        return utf8; // the common case: Serbian Latin without diacritics
    return convert("WINDOWS-1250//TRANSLIT", "UTF-8", utf8);
}

QString fromWindows1250(const QByteArray &bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    return QString::fromUtf8(convert("UTF-8", "WINDOWS-1250", bytes));
}

bool fitsWindows1250Line(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    const QByteArray utf8 = text.toUtf8();
    if (isAscii(utf8))
        return true;
    iconv_t cd = iconv_open("WINDOWS-1250", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    QByteArray out(utf8.size() * 2 + 16, Qt::Uninitialized);
    char *inPtr = const_cast<char *>(utf8.constData());
    size_t inLeft = size_t(utf8.size());
    char *outPtr = out.data();
    size_t outLeft = size_t(out.size());
    const size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    return r == 0 && inLeft == 0; // no error and nothing converted approximately
}

QString withoutControlCharacters(QString text)
{
    for (QChar &c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = u' ';
    return text;
}

bool saveLines(const QString &path, const QStringList &lines, QString *error,
               QFileDevice::Permissions permissions)
{
    QString text;
    qsizetype size = 0;
    for (const QString &line : lines)
        size += line.size() + 2;
    text.reserve(size);
    for (const QString &line : lines) {
        text += line;
        text += QLatin1String("\r\n");
    }
    return writeFileAtomically(path, toWindows1250(text), error, permissions);
}

std::optional<QStringList> loadLines(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    const QString text = fromWindows1250(file.readAll());
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n') {
            lines.append(text.mid(start, i - start));
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < text.size())
        lines.append(text.mid(start));
    return lines;
}

} // namespace platform
