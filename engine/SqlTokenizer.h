#pragma once

// SqlTokenizer: the first piece of the SQL dialect. Turns statement text into tokens, each with
// its 1-based character position in the text:
//   Identifier        letters, digits and "_", not starting with a digit (keywords too; the
//                     parser compares them without regard to case)
//   QuotedIdentifier  "text" (a table path or field name; "" inside is one ")
//   String            'text' with '' inside read as one quote; value() is the unquoted text
//   Number            digits, optionally "." and more digits
//   Symbol            ( ) , * = <> != < <= > >= \ / . - + ; :
//   End               after the last token
// Blanks, tabs and line breaks separate tokens. Anything else (an unterminated string, a
// character outside the dialect) throws EngineError "Syntax error at position N: ...".

#include <QString>

#include <vector>

namespace engine {

struct SqlToken
{
    enum Kind { Identifier, QuotedIdentifier, String, Number, Symbol, End };
    Kind kind = End;
    QString text;  // as written (symbols, identifiers, numbers)
    QString value; // strings and quoted identifiers without their quotes
    int position = 0; // 1-based
    int length = 0;   // characters in the source

    bool isSymbol(QStringView symbol) const { return kind == Symbol && text == symbol; }
    bool isKeyword(QStringView keyword) const
    {
        return kind == Identifier && text.compare(keyword, Qt::CaseInsensitive) == 0;
    }
    int end() const { return position + length; }
};

class SqlTokenizer
{
public:
    static std::vector<SqlToken> tokenize(const QString &text);
};

} // namespace engine
