#pragma once
// Reading statement texts: a small lexer that knows SQLite's quoting and
// comments, used to rewrite boolean literals and to recognise selects whose
// rows can be edited.

#include <QString>
#include <optional>

namespace tallowmere::sql {

struct Token {
    enum Kind { Word, Quoted, Comment, Space, Other };
    Kind kind;
    qsizetype begin;
    qsizetype end;
};

class Lexer {
public:
    explicit Lexer(const QString& text) : s_(text) {}
    bool next(Token& token);

private:
    const QString& s_;
    qsizetype i_ = 0;
};

// Where the parts of "SELECT <list> FROM <one table> [alias] [WHERE|ORDER|LIMIT ...]" end.
struct SingleTableSelect {
    qsizetype fromEnd;    // just after the FROM keyword: a caller can put its own column list in front of the rest
    qsizetype sourceEnd;  // just after the table and its alias: what comes before has the statement's columns
};

// The parts of a select from one table. Empty for anything else (joins,
// DISTINCT, GROUP BY, compound selects).
std::optional<SingleTableSelect> singleTableSelect(const QString& statement);

// A name as an SQL quoted identifier: "it""s".
QString quotedName(const QString& name);

} // namespace tallowmere::sql
