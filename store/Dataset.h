#pragma once
// The engine layer: one SQLCipher connection shared by any number of datasets,
// and the dataset operations the rest of the program uses (statement, open,
// execute, close, rows, fields, row editing, blobs from and to files and streams).
// Errors of the engine are thrown as EngineError; the archive operations in
// Archive.h turn them into a false result.

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <memory>
#include <stdexcept>
#include <vector>

class QIODevice;
struct sqlite3;

namespace tallowmere {

namespace engine {
class StatementCache;
}

class EngineError : public std::runtime_error {
public:
    explicit EngineError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

// The archive's fixed cipher settings: the key is the archive password, the
// cipher page size 4096, everything else SQLCipher 3's defaults.
inline constexpr const char* kArchivePassword = "K+e+R+mvq8TLoB4N";
inline constexpr int kCipherPageSize = 4096;

class Connection {
public:
    enum class Mode { OpenExisting, Create };
    // Opens (never creates, unless Mode::Create) the file, sets the key and the
    // cipher settings and checks that the cipher layer is really loaded.
    // Throws EngineError on failure.
    static std::shared_ptr<Connection> open(const QString& path, Mode mode = Mode::OpenExisting);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* handle() const { return db_; }
    QString path() const { return path_; }
    // Runs statements that return no rows (schema, pragmas, transactions).
    void exec(const QString& sql);
    void begin() { exec(QStringLiteral("BEGIN")); }
    void commit() { exec(QStringLiteral("COMMIT")); }
    void rollback();

    // Prepared statements kept for reuse on this connection.
    engine::StatementCache& statements() const { return *statements_; }

private:
    Connection(sqlite3* db, QString path);
    sqlite3* db_ = nullptr;
    QString path_;
    std::unique_ptr<engine::StatementCache> statements_;
};

// Rewrites the older dialect's boolean literals true/false (any case) into 1/0,
// outside string literals, quoted or bracketed names and comments.
QString rewriteBooleanLiterals(const QString& sql);

class Dataset;

// One column of the current row, reached by name.
class Field {
public:
    QString asString() const;        // null reads as empty text; integers as decimal digits
    qint32 asInteger() const;        // null or non-number reads as 0
    bool asBoolean() const;
    bool isNull() const;
    qint64 size() const;             // byte length (blob or text)
    QByteArray asBytes() const;      // whole value in memory (small values only)

    // Blob reads and writes go in pieces, never the whole value in memory.
    void saveToFile(const QString& path) const;   // creates or replaces the file
    void saveToStream(QIODevice& out) const;
    void loadFromFile(const QString& path);       // missing/unreadable file throws
    void loadFromStream(QIODevice& in);
    void setValue(const QVariant& value);          // text, integer, null
    void setText(const QByteArray& utf8);          // text given in UTF-8

private:
    friend class Dataset;
    Field(Dataset* ds, int column) : ds_(ds), col_(column) {}
    Dataset* ds_;
    int col_;
};

class Dataset {
public:
    explicit Dataset(std::shared_ptr<Connection> connection = {});
    ~Dataset();
    Dataset(const Dataset&) = delete;
    Dataset& operator=(const Dataset&) = delete;

    void setConnection(std::shared_ptr<Connection> connection);
    std::shared_ptr<Connection> connection() const { return conn_; }

    void setStatement(const QString& sql);
    QString statement() const { return sql_; }

    void open();      // row-returning statement; stands on the first row or at end of rows
    void execute();   // insert, update, delete
    void close();     // posts nothing; closing a closed dataset does nothing
    bool isOpen() const;
    bool eof() const;
    void next();      // posts a pending edit first
    int rowCount() const;

    Field fieldByName(const QString& name);   // names match without regard to case; missing throws

    void edit();      // current row into edit mode
    void post();      // writes the fields set since edit() to the row

    struct Impl;
private:
    friend class Field;
    std::shared_ptr<Connection> conn_;
    QString sql_;
    std::unique_ptr<Impl> d_;
};

} // namespace tallowmere
