// SqlParser: one function per rule of the grammar in SqlParser.h, each consuming tokens from
// the left. Errors name the position of the token where the statement left the dialect and
// what was expected there.

#include "engine/SqlParser.h"

#include "engine/EngineError.h"
#include "engine/SqlTokenizer.h"

#include <QStringList>

namespace engine {

namespace {

const QStringList reservedWords = {
    QStringLiteral("select"), QStringLiteral("from"),    QStringLiteral("where"),
    QStringLiteral("and"),    QStringLiteral("or"),      QStringLiteral("not"),
    QStringLiteral("between"), QStringLiteral("like"),   QStringLiteral("is"),
    QStringLiteral("null"),   QStringLiteral("upper"),   QStringLiteral("sum")};

// True when the last character of a pattern is an escape with nothing after it.
bool endsInEscape(const QString &pattern, QChar escape)
{
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == escape && ++i == pattern.size())
            return true;
    }
    return false;
}

class Parser
{
public:
    explicit Parser(const QString &text) : m_tokens(SqlTokenizer::tokenize(text)) {}

    SqlSelect statement()
    {
        SqlSelect select;
        expectKeyword(u"select");
        if (peek().isSymbol(u"*")) {
            advance();
            select.star = true;
        } else {
            do
                select.items.push_back(column());
            while (acceptSymbol(u","));
        }
        expectKeyword(u"from");
        table(select);
        if (peek().isKeyword(u"where")) {
            const SqlToken &where = advance();
            select.where = condition();
            if (depthOf(*select.where) > MaxDepth)
                error(where, tooDeep());
        }
        acceptSymbol(u";");
        if (peek().kind != SqlToken::End)
            error(peek(), QStringLiteral("expected the end of the statement"));
        return select;
    }

private:
    const SqlToken &peek(int ahead = 0) const
    {
        const size_t index = std::min(m_pos + size_t(ahead), m_tokens.size() - 1);
        return m_tokens[index];
    }
    const SqlToken &advance()
    {
        const SqlToken &token = m_tokens[m_pos];
        if (m_pos + 1 < m_tokens.size())
            ++m_pos;
        return token;
    }
    bool acceptKeyword(QStringView keyword)
    {
        if (!peek().isKeyword(keyword))
            return false;
        advance();
        return true;
    }
    bool acceptSymbol(QStringView symbol)
    {
        if (!peek().isSymbol(symbol))
            return false;
        advance();
        return true;
    }
    void expectKeyword(QStringView keyword)
    {
        if (!acceptKeyword(keyword))
            error(peek(), QStringLiteral("expected %1").arg(keyword.toString().toUpper()));
    }
    void expectSymbol(QStringView symbol)
    {
        if (!acceptSymbol(symbol))
            error(peek(), QStringLiteral("expected '%1'").arg(symbol));
    }

    [[noreturn]] static void error(const SqlToken &at, const QString &expected)
    {
        const QString found = at.kind == SqlToken::End
                                  ? QStringLiteral("the end of the statement")
                                  : QStringLiteral("'%1'").arg(at.text);
        throw EngineError(EngineError::Kind::Syntax, QStringLiteral("Syntax error at position %1: %2, found %3")
                              .arg(at.position)
                              .arg(expected, found));
    }

    static bool isFieldToken(const SqlToken &token)
    {
        return token.kind == SqlToken::QuotedIdentifier ||
               (token.kind == SqlToken::Identifier &&
                !reservedWords.contains(token.text, Qt::CaseInsensitive));
    }

    QString fieldName()
    {
        const SqlToken &token = peek();
        if (!isFieldToken(token))
            error(token, QStringLiteral("expected a field name"));
        advance();
        return token.kind == SqlToken::QuotedIdentifier ? token.value : token.text;
    }

    SqlSelectItem column()
    {
        SqlSelectItem item;
        item.position = peek().position;
        if (peek().isKeyword(u"sum") && peek(1).isSymbol(u"(")) {
            advance();
            advance();
            item.sum = true;
            item.field = fieldName();
            expectSymbol(u")");
        } else {
            item.field = fieldName();
        }
        return item;
    }

    static bool isPathPiece(const SqlToken &token)
    {
        if (token.kind == SqlToken::Identifier || token.kind == SqlToken::Number)
            return true;
        return token.kind == SqlToken::Symbol &&
               (token.text == u"\\" || token.text == u"/" || token.text == u"." ||
                token.text == u"-" || token.text == u":");
    }

    void table(SqlSelect &select)
    {
        const SqlToken &first = peek();
        select.tablePosition = first.position;
        if (first.kind == SqlToken::QuotedIdentifier) {
            advance();
            select.tablePath = first.value;
            return;
        }
        if (!isPathPiece(first) || reservedWords.contains(first.text, Qt::CaseInsensitive))
            error(first, QStringLiteral("expected a table name"));
        select.tablePath = advance().text;
        // The path goes on as long as the next piece touches the previous one.
        while (isPathPiece(peek()) && peek().position == m_tokens[m_pos - 1].end())
            select.tablePath += advance().text;
    }

    std::unique_ptr<SqlExpr> node(SqlExpr::Kind kind, const SqlToken &at, QString text = {})
    {
        auto expr = std::make_unique<SqlExpr>();
        expr->kind = kind;
        expr->position = at.position;
        expr->text = std::move(text);
        return expr;
    }

    std::unique_ptr<SqlExpr> condition()
    {
        auto left = term();
        int links = 0;
        while (peek().isKeyword(u"or")) {
            if (++links > MaxDepth)
                error(peek(), tooDeep());
            auto expr = node(SqlExpr::Or, advance());
            expr->args.push_back(std::move(left));
            expr->args.push_back(term());
            left = std::move(expr);
        }
        return left;
    }

    std::unique_ptr<SqlExpr> term()
    {
        auto left = factor();
        int links = 0;
        while (peek().isKeyword(u"and")) {
            if (++links > MaxDepth)
                error(peek(), tooDeep());
            auto expr = node(SqlExpr::And, advance());
            expr->args.push_back(std::move(left));
            expr->args.push_back(factor());
            left = std::move(expr);
        }
        return left;
    }

    // A condition is nested at most MaxDepth levels deep: ANDs and ORs in a row, NOT,
    // parentheses and UPPER. The parser descends by recursion and the statement it generates
    // nests as deep again, where SQLite's own parser gives up at about 30 levels; what a
    // query of the program needs stays far below.
    static constexpr int MaxDepth = 24;
    static QString tooDeep()
    {
        return QStringLiteral("expected a condition nested at most %1 levels deep").arg(MaxDepth);
    }
    class Nested
    {
    public:
        Nested(Parser &parser, const SqlToken &at) : m_parser(parser)
        {
            if (++m_parser.m_nesting > MaxDepth)
                m_parser.error(at, tooDeep());
        }
        ~Nested() { --m_parser.m_nesting; }
        Nested(const Nested &) = delete;
        Nested &operator=(const Nested &) = delete;

    private:
        Parser &m_parser;
    };

    // The depth of the tree `where` as generated, without recursion.
    static int depthOf(const SqlExpr &where)
    {
        int deepest = 0;
        std::vector<std::pair<const SqlExpr *, int>> open{{&where, 1}};
        while (!open.empty()) {
            const auto [expr, depth] = open.back();
            open.pop_back();
            deepest = std::max(deepest, depth);
            for (const auto &arg : expr->args)
                open.emplace_back(arg.get(), depth + 1);
        }
        return deepest;
    }

    std::unique_ptr<SqlExpr> factor()
    {
        const Nested nested(*this, peek());
        if (peek().isKeyword(u"not")) {
            auto expr = node(SqlExpr::Not, advance());
            expr->args.push_back(factor());
            return expr;
        }
        if (acceptSymbol(u"(")) {
            auto inner = condition();
            expectSymbol(u")");
            return inner;
        }
        return predicate();
    }

    std::unique_ptr<SqlExpr> predicate()
    {
        auto left = operand();
        const SqlToken &op = peek();
        if (op.isKeyword(u"is")) {
            auto expr = node(SqlExpr::IsNull, advance());
            expr->negated = acceptKeyword(u"not");
            expectKeyword(u"null");
            expr->args.push_back(std::move(left));
            return expr;
        }
        bool negated = false;
        if (op.isKeyword(u"not")) {
            advance();
            negated = true;
            if (!peek().isKeyword(u"between") && !peek().isKeyword(u"like"))
                error(peek(), QStringLiteral("expected BETWEEN or LIKE after NOT"));
        }
        if (peek().isKeyword(u"between")) {
            auto expr = node(SqlExpr::Between, advance());
            expr->negated = negated;
            expr->args.push_back(std::move(left));
            expr->args.push_back(operand());
            expectKeyword(u"and");
            expr->args.push_back(operand());
            return expr;
        }
        if (peek().isKeyword(u"like")) {
            auto expr = node(SqlExpr::Like, advance());
            expr->negated = negated;
            expr->args.push_back(std::move(left));
            expr->args.push_back(operand());
            if (acceptKeyword(u"escape")) {
                const SqlToken &escape = peek();
                if (escape.kind != SqlToken::String || escape.value.size() != 1)
                    error(escape, QStringLiteral("expected one character in quotes after ESCAPE"));
                const QChar esc = escape.value.front();
                expr->args.push_back(node(SqlExpr::String, advance(), escape.value));
                // Both stores would read a lone escape at the end differently: refuse it.
                const SqlExpr *pattern = expr->args[1].get();
                while (pattern->kind == SqlExpr::Upper)
                    pattern = pattern->args[0].get();
                if (pattern->kind == SqlExpr::String && endsInEscape(pattern->text, esc))
                    error(escape, QStringLiteral("expected a pattern that does not end in its escape character"));
            }
            return expr;
        }
        static const QStringList comparisons = {QStringLiteral("="),  QStringLiteral("<>"),
                                                QStringLiteral("!="), QStringLiteral("<"),
                                                QStringLiteral("<="), QStringLiteral(">"),
                                                QStringLiteral(">=")};
        if (op.kind == SqlToken::Symbol && comparisons.contains(op.text)) {
            auto expr = node(SqlExpr::Compare, advance(), op.text == u"!=" ? QStringLiteral("<>") : op.text);
            expr->args.push_back(std::move(left));
            expr->args.push_back(operand());
            return expr;
        }
        error(op, QStringLiteral("expected a comparison, BETWEEN, LIKE or IS"));
    }

    std::unique_ptr<SqlExpr> operand()
    {
        const SqlToken &token = peek();
        if (token.isKeyword(u"upper") && peek(1).isSymbol(u"(")) {
            const Nested nested(*this, token);
            auto expr = node(SqlExpr::Upper, advance());
            advance();
            expr->args.push_back(operand());
            expectSymbol(u")");
            return expr;
        }
        if (token.kind == SqlToken::String)
            return node(SqlExpr::String, advance(), token.value);
        if (token.kind == SqlToken::Number)
            return node(SqlExpr::Number, advance(), token.text);
        if (token.isSymbol(u"-") && peek(1).kind == SqlToken::Number &&
            peek(1).position == token.end()) {
            auto expr = node(SqlExpr::Number, advance());
            expr->text = QLatin1Char('-') + advance().text;
            return expr;
        }
        if (isFieldToken(token)) {
            auto expr = node(SqlExpr::Field, token);
            expr->text = fieldName();
            return expr;
        }
        error(token, QStringLiteral("expected a field name or a value"));
    }

    std::vector<SqlToken> m_tokens;
    size_t m_pos = 0;
    int m_nesting = 0;
};

} // namespace

SqlSelect SqlParser::parse(const QString &text)
{
    return Parser(text).statement();
}

} // namespace engine
