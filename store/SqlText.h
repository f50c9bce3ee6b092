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

// For "SELECT <list> FROM <one table> [alias] [WHERE|ORDER|LIMIT ...]": the
// offset just after the FROM keyword, so that a caller can put its own column
// list in front of the rest. Empty for anything else (joins, DISTINCT, GROUP BY,
// compound selects).
std::optional<qsizetype> singleTableFromEnd(const QString& statement);

// A name as an SQL quoted identifier: "it""s".
QString quotedName(const QString& name);

} // namespace tallowmere::sql
