#pragma once
// Internals shared by the engine layer's sources: statement handles and errors.

#include "store/Dataset.h"

#include <sqlite3.h>

namespace tallowmere::engine {

// A single value holds at most this many bytes (SQLite's own length limit).
inline constexpr qint64 kMaxValueBytes = 1'000'000'000;
// Blobs move in pieces of this size, never whole.
inline constexpr int kPieceBytes = 1 << 20;

[[noreturn]] void fail(sqlite3* db, const QString& what);

// Owns a prepared statement.
class Statement {
public:
    Statement() = default;
    explicit Statement(sqlite3_stmt* s) : s_(s) {}
    ~Statement() { sqlite3_finalize(s_); }
    Statement(Statement&& o) noexcept : s_(o.s_) { o.s_ = nullptr; }
    Statement& operator=(Statement&& o) noexcept { std::swap(s_, o.s_); return *this; }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return s_; }
    explicit operator bool() const { return s_ != nullptr; }

private:
    sqlite3_stmt* s_ = nullptr;
};

// Prepares the statement that begins at offset (in UTF-8 bytes) and moves
// offset past it. Returns an empty Statement when only blanks or comments are
// left. The text must already have had its boolean literals rewritten.
Statement prepareNext(sqlite3* db, const QByteArray& utf8, int& offset);

// Prepares exactly one statement; more than one statement in the text throws.
Statement prepareOne(sqlite3* db, const QString& statement);

// Steps a statement to its end, discarding rows.
void runToEnd(sqlite3* db, sqlite3_stmt* st);

} // namespace tallowmere::engine
