#pragma once
// Internals shared by the engine layer's sources: statement handles and errors.

#include "store/Dataset.h"

#include <sqlite3.h>

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace tallowmere::engine {

// A single value holds at most this many bytes (SQLite's own length limit).
inline constexpr qint64 kMaxValueBytes = 1'000'000'000;
// Blobs move in pieces of this size, never whole.
inline constexpr int kPieceBytes = 1 << 20;

[[noreturn]] void fail(sqlite3* db, const QString& what);

class StatementCache;

// One column of a select's result.
struct Column {
    QString name;        // as the statement names it
    QByteArray database; // where the value comes from; empty for expressions
    QByteArray table;
    QByteArray origin;
    bool lazy = false;   // a blob column: only type and length are read with the row
};

// The columns of a select's result, and whether they all come from one table.
// Then they can be edited, and fastHead begins the select's fast form
// ("SELECT <list> FROM"), which reads blobs as type and length only.
struct SelectColumns {
    std::vector<Column> columns;
    bool oneTable = false;
    QString fastHead;
};

// The columns of a prepared select, as described now.
SelectColumns describeColumns(sqlite3_stmt* st);

// Owns a prepared statement, or borrows one that goes back to its cache
// (reset, bindings cleared) when done with.
class Statement {
public:
    Statement() = default;
    explicit Statement(sqlite3_stmt* s) : s_(s) {}
    ~Statement() { release(); }
    Statement(Statement&& o) noexcept : s_(o.s_), home_(o.home_), key_(std::move(o.key_))
    {
        o.s_ = nullptr;
        o.home_ = nullptr;
    }
    Statement& operator=(Statement&& o) noexcept
    {
        std::swap(s_, o.s_);
        std::swap(home_, o.home_);
        std::swap(key_, o.key_);
        return *this;
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return s_; }
    explicit operator bool() const { return s_ != nullptr; }

private:
    friend class StatementCache;
    void release();
    sqlite3_stmt* s_ = nullptr;
    StatementCache* home_ = nullptr;  // set: borrowed from there under key_
    QByteArray key_;
};

// The prepared statements of recently run texts, each of exactly one
// statement, keyed by its text (boolean literals already rewritten) or by its
// text with the values taken out (see takeBound). Preparing is much of the
// cost of a small statement; the statements that run again and again
// (savepoints, the update of an edited row, inserts and selects that differ
// only in their values) are prepared once. A kept statement is re-prepared by
// SQLite itself when the schema has changed; what is read off a statement
// before it runs (its columns) is dropped with them when the schema changes.
class StatementCache {
public:
    explicit StatementCache(sqlite3* db) : db_(db) {}
    ~StatementCache();
    StatementCache(const StatementCache&) = delete;
    StatementCache& operator=(const StatementCache&) = delete;

    // The kept statement of this text, or a newly prepared one (more than one
    // statement in the text throws). Either goes back here when released.
    Statement take(const QByteArray& utf8);
    // The kept statement of this text; empty when none is kept (or it is in use).
    Statement takeKept(const QByteArray& utf8);
    // The statement of one select, insert, update or delete with its literals
    // (booleans of the older dialect among them) bound as parameters, so that
    // texts that differ only in their values share one prepared statement.
    // Empty for a text this does not apply to (see sql::parameterized). A shape
    // that SQLite does not take (a name written as 'name', say) is prepared as
    // the text stands, and errors name the text as given.
    Statement takeBound(const QString& sql);

    // Keeps a statement prepared from exactly this text once it is released.
    void keep(Statement& st, const QByteArray& utf8);

    // The columns of a select's head ("SELECT <list> FROM <table>"), worked
    // out once and kept while the schema stands. Throws when the head does
    // not prepare.
    std::shared_ptr<const SelectColumns> columnsOf(const QByteArray& head);

private:
    friend class Statement;
    void giveBack(sqlite3_stmt* st, QByteArray key);
    void dropAll();
    // Drops everything kept when the schema has changed since the last look.
    void checkSchema();

    struct Kept {
        QByteArray key;
        sqlite3_stmt* st;
    };
    sqlite3* db_;
    std::vector<Kept> kept_;  // least recently used first
    std::map<QByteArray, std::shared_ptr<const SelectColumns>> columns_;
    sqlite3_stmt* schemaVersion_ = nullptr;
    std::optional<int> knownSchema_;
};

// Prepares the statement that begins at offset (in UTF-8 bytes) and moves
// offset past it. Returns an empty Statement when only blanks or comments are
// left. The text must already have had its boolean literals rewritten.
Statement prepareNext(sqlite3* db, const QByteArray& utf8, int& offset);

// Prepares exactly one statement; more than one statement in the text throws.
// The text must already have had its boolean literals rewritten.
Statement prepareOne(sqlite3* db, const QByteArray& utf8);

// Steps a statement to its end, discarding rows.
// A failure names the statement by text, or by its prepared text (values
// bound to it left out: they may be large) when none is given.
void runToEnd(sqlite3* db, sqlite3_stmt* st, const QString& text = {});

} // namespace tallowmere::engine
