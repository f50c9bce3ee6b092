#pragma once
// Reading statement texts: a small lexer that knows SQLite's quoting and
// comments, used to rewrite boolean literals and to recognise selects whose
// rows can be edited.

#include <QString>
#include <optional>
#include <vector>

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

// A statement with its literal values taken out as parameters: the text with
// "?" in place of each string and integer literal (true and false of the older
// dialect count as 1 and 0), and the values in order. A
// statement that differs from another only in its values then has the same
// text, and is prepared once. Literals in a select's result columns stay,
// since they name the columns, and so do numbers in ORDER BY and GROUP BY,
// where they are column numbers. Empty for texts this does not apply to:
// anything but a single select, insert, replace, update or delete, a text
// with parameters of its own, an unterminated literal, or more literals than
// are worth binding.
struct Parameterized {
    struct Value {
        QString text;        // a string literal's value
        qint64 integer = 0;  // an integer literal's, when isInteger
        bool isInteger = false;
    };
    QString text;
    std::vector<Value> values;
};
std::optional<Parameterized> parameterized(const QString& statement);

// A name as an SQL quoted identifier: "it""s".
QString quotedName(const QString& name);

} // namespace tallowmere::sql
