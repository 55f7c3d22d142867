// SqlTokenizer: a single pass over the statement text. Every token records where it starts so
// that the parser can name the position of an error, and its length so that the parser can
// tell adjacent tokens (a table path such as podaci\promet.db is several adjacent tokens).

#include "engine/SqlTokenizer.h"

#include "engine/EngineError.h"

namespace engine {

namespace {

[[noreturn]] void syntaxError(qsizetype index, const QString &what)
{
    throw EngineError(EngineError::Kind::Syntax, QStringLiteral("Syntax error at position %1: %2").arg(index + 1).arg(what));
}

bool isIdentifierStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool isIdentifierPart(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

// Reads a quoted run starting at `i` (on the opening quote); a doubled quote is one quote.
QString readQuoted(const QString &text, qsizetype &i, QChar quote, const char *what)
{
    const qsizetype start = i;
    QString value;
    ++i;
    for (;;) {
        if (i >= text.size())
            syntaxError(start, QStringLiteral("unterminated %1").arg(QLatin1String(what)));
        if (text[i] == quote) {
            if (i + 1 < text.size() && text[i + 1] == quote) {
                value += quote;
                i += 2;
                continue;
            }
            ++i;
            return value;
        }
        value += text[i++];
    }
}

} // namespace

std::vector<SqlToken> SqlTokenizer::tokenize(const QString &text)
{
    std::vector<SqlToken> tokens;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const QChar c = text[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        SqlToken token;
        const qsizetype start = i;
        if (isIdentifierStart(c)) {
            while (i < n && isIdentifierPart(text[i]))
                ++i;
            token.kind = SqlToken::Identifier;
        } else if (c.isDigit()) {
            while (i < n && text[i].isDigit())
                ++i;
            if (i + 1 < n && text[i] == u'.' && text[i + 1].isDigit()) {
                ++i;
                while (i < n && text[i].isDigit())
                    ++i;
            }
            token.kind = SqlToken::Number;
        } else if (c == u'\'') {
            token.value = readQuoted(text, i, c, "string");
            token.kind = SqlToken::String;
        } else if (c == u'"') {
            token.value = readQuoted(text, i, c, "quoted name");
            token.kind = SqlToken::QuotedIdentifier;
        } else {
            static const QString twoCharSymbols[] = {QStringLiteral("<>"), QStringLiteral("!="),
                                                     QStringLiteral("<="), QStringLiteral(">=")};
            static const QString oneCharSymbols = QStringLiteral("(),*=<>\\/.-+;:");
            token.kind = SqlToken::Symbol;
            bool matched = false;
            for (const QString &symbol : twoCharSymbols) {
                if (QStringView(text).mid(i, 2) == symbol) {
                    i += 2;
                    matched = true;
                    break;
                }
            }
            if (!matched) {
                if (!oneCharSymbols.contains(c))
                    syntaxError(start, QStringLiteral("unexpected character '%1'").arg(c));
                ++i;
            }
        }
        token.text = text.mid(start, i - start);
        token.position = int(start + 1);
        token.length = int(i - start);
        tokens.push_back(std::move(token));
    }
    SqlToken end;
    end.kind = SqlToken::End;
    end.position = int(n + 1);
    tokens.push_back(end);
    return tokens;
}

} // namespace engine
