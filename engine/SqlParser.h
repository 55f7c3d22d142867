#pragma once

// SqlParser: the second piece of the SQL dialect. A recursive-descent parser over the tokens of
// SqlTokenizer that accepts exactly:
//
//   statement := SELECT columns FROM table [WHERE condition] [";"]
//   columns   := "*" | column ("," column)*
//   column    := field | SUM "(" field ")"
//   table     := adjacent path pieces (names, numbers, \ / . - :) | "quoted path"
//   condition := term (OR term)*
//   term      := factor (AND factor)*
//   factor    := NOT factor | "(" condition ")" | predicate
//   predicate := operand ( ("=" | "<>" | "!=" | "<" | "<=" | ">" | ">=") operand
//                        | [NOT] BETWEEN operand AND operand
//                        | [NOT] LIKE operand [ESCAPE 'c']
//                        | IS [NOT] NULL )
//   operand   := field | 'string' | number | "-" number | UPPER "(" operand ")"
//   field     := name | "quoted name"
//
// Keywords are matched without regard to case. The result is a tree that still holds field
// names as written; SqlGenerator checks them against the table. After ESCAPE, the one
// character makes the % or _ (or itself) that follows it in the pattern stand for itself.
// Anything else throws EngineError "Syntax error at position N: ..." with the 1-based position in the text.

#include <QString>

#include <memory>
#include <vector>

namespace engine {

struct SqlExpr
{
    enum Kind { Field, String, Number, Upper, Compare, Between, Like, IsNull, And, Or, Not };
    Kind kind = Field;
    QString text;     // field name as written, literal value, or comparison operator
    int position = 0; // 1-based position of the element in the statement
    bool negated = false; // NOT BETWEEN, NOT LIKE, IS NOT NULL
    std::vector<std::unique_ptr<SqlExpr>> args;
};

struct SqlSelectItem
{
    QString field; // as written
    bool sum = false;
    int position = 0;
};

struct SqlSelect
{
    bool star = false;
    std::vector<SqlSelectItem> items; // when not star
    QString tablePath;                // as written, e.g. podaci\promet.db
    int tablePosition = 0;
    std::unique_ptr<SqlExpr> where; // null without a WHERE
};

class SqlParser
{
public:
    static SqlSelect parse(const QString &text);
};

} // namespace engine
