#include "store/Engine_p.h"
#include "store/SqlText.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryFile>
#include <functional>
#include <map>

namespace tallowmere {

using engine::fail;
using engine::kMaxValueBytes;
using engine::kPieceBytes;
using engine::Column;
using engine::SelectColumns;
using engine::Statement;

namespace {

struct Value {
    enum class Type { Null, Integer, Real, Text, Blob };
    Type type = Type::Null;
    qint64 integer = 0;
    double real = 0;
    QByteArray bytes;    // text or blob held in memory
    bool lazy = false;   // the bytes stay in the database
    bool loaded = true;  // false: a lazy column whose non-blob value is read on first use
    qint64 size = 0;     // lazy: byte length
};

struct Row {
    std::vector<Value> values;
    qint64 rowid = 0;
};

// One field set since edit(): a value, or a file whose bytes go into a blob.
struct Pending {
    Value value;
    QString path;                          // non-empty: the blob comes from this file
    std::shared_ptr<QFile> file;           // the file at path, when opened already
    std::shared_ptr<QTemporaryFile> temp;  // keeps a stream's copy alive until post
};

QString tooLarge(qint64 size)
{
    return QStringLiteral("%1 bytes is too large: a single value holds at most %2 bytes")
        .arg(size).arg(kMaxValueBytes);
}

Value readValue(sqlite3_stmt* st, int k)
{
    Value v;
    switch (sqlite3_column_type(st, k)) {
    case SQLITE_INTEGER:
        v.type = Value::Type::Integer;
        v.integer = sqlite3_column_int64(st, k);
        break;
    case SQLITE_FLOAT:
        v.type = Value::Type::Real;
        v.real = sqlite3_column_double(st, k);
        break;
    case SQLITE_TEXT:
        v.type = Value::Type::Text;
        v.bytes = QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(st, k)), sqlite3_column_bytes(st, k));
        break;
    case SQLITE_BLOB: {
        v.type = Value::Type::Blob;
        const int n = sqlite3_column_bytes(st, k);
        v.bytes = QByteArray(static_cast<const char*>(sqlite3_column_blob(st, k)), n);
        break;
    }
    default:
        break;
    }
    return v;
}

// A value of a lazy column from its typeof() and length().
Value lazyValue(sqlite3_stmt* st, int typeColumn, int lengthColumn)
{
    Value v;
    const QByteArray type(reinterpret_cast<const char*>(sqlite3_column_text(st, typeColumn)));
    if (type == "null")
        return v;
    if (type == "blob") {
        v.type = Value::Type::Blob;
        v.lazy = true;
        v.size = sqlite3_column_int64(st, lengthColumn);
    } else {
        v.loaded = false;   // text or number kept in a blob column: small, read when used
    }
    return v;
}

Value valueFromVariant(const QVariant& value)
{
    Value v;
    if (!value.isValid() || value.typeId() == QMetaType::Nullptr)
        return v;
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        v.type = Value::Type::Integer;
        v.integer = value.toLongLong();
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        v.type = Value::Type::Real;
        v.real = value.toDouble();
        break;
    case QMetaType::QByteArray:
        v.type = Value::Type::Blob;
        v.bytes = value.toByteArray();
        break;
    case QMetaType::QDateTime:
        v.type = Value::Type::Text;
        v.bytes = value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
        break;
    default:
        v.type = Value::Type::Text;
        v.bytes = value.toString().toUtf8();
        break;
    }
    return v;
}

// Binds without a copy: the value must stay as it is until the statement is
// reset (which the cache does when the statement is given back).
void bindValue(sqlite3_stmt* st, int index, const Value& v)
{
    switch (v.type) {
    case Value::Type::Null:
        sqlite3_bind_null(st, index);
        break;
    case Value::Type::Integer:
        sqlite3_bind_int64(st, index, v.integer);
        break;
    case Value::Type::Real:
        sqlite3_bind_double(st, index, v.real);
        break;
    case Value::Type::Text:
        sqlite3_bind_text(st, index, v.bytes.constData(), int(v.bytes.size()), SQLITE_STATIC);
        break;
    case Value::Type::Blob:
        // A null pointer would bind NULL; an empty blob is zeroblob(0).
        if (v.bytes.isEmpty())
            sqlite3_bind_zeroblob(st, index, 0);
        else
            sqlite3_bind_blob(st, index, v.bytes.constData(), int(v.bytes.size()), SQLITE_STATIC);
        break;
    }
}

// An open sqlite3_blob handle on one value.
class BlobHandle {
public:
    BlobHandle(sqlite3* db, const Column& c, qint64 rowid, bool write) : db_(db)
    {
        if (sqlite3_blob_open(db, c.database.constData(), c.table.constData(), c.origin.constData(),
                              rowid, write ? 1 : 0, &blob_) != SQLITE_OK) {
            sqlite3_blob_close(blob_);
            fail(db, QStringLiteral("cannot open the value of %1.%2")
                         .arg(QString::fromUtf8(c.table), QString::fromUtf8(c.origin)));
        }
    }
    ~BlobHandle() { sqlite3_blob_close(blob_); }
    BlobHandle(const BlobHandle&) = delete;
    BlobHandle& operator=(const BlobHandle&) = delete;

    qint64 size() const { return sqlite3_blob_bytes(blob_); }
    void read(char* into, int n, int offset)
    {
        if (sqlite3_blob_read(blob_, into, n, offset) != SQLITE_OK)
            fail(db_, QStringLiteral("cannot read a stored value"));
    }
    void write(const char* from, int n, int offset)
    {
        if (sqlite3_blob_write(blob_, from, n, offset) != SQLITE_OK)
            fail(db_, QStringLiteral("cannot write a stored value"));
    }

private:
    sqlite3* db_;
    sqlite3_blob* blob_ = nullptr;
};

} // namespace

struct Dataset::Impl {
    bool open = false;
    std::vector<Column> columns;
    std::vector<Row> rows;
    size_t pos = 0;
    bool editable = false;   // rows carry the rowids of their one table
    bool editing = false;
    std::map<int, Pending> pending;

    Row& current()
    {
        if (!open)
            throw EngineError(QStringLiteral("the dataset is not open"));
        if (pos >= rows.size())
            throw EngineError(QStringLiteral("there is no current row (end of rows)"));
        return rows[pos];
    }
};

// ---------------------------------------------------------------- Dataset

Dataset::Dataset(std::shared_ptr<Connection> connection)
    : conn_(std::move(connection)), d_(std::make_unique<Impl>())
{
}

Dataset::~Dataset() = default;

void Dataset::setConnection(std::shared_ptr<Connection> connection)
{
    close();
    conn_ = std::move(connection);
}

void Dataset::setStatement(const QString& sql)
{
    close();
    sql_ = sql;
}

void Dataset::close()
{
    *d_ = Impl{};
}

bool Dataset::isOpen() const { return d_->open; }
bool Dataset::eof() const { return !d_->open || d_->pos >= d_->rows.size(); }
int Dataset::rowCount() const { return d_->open ? int(d_->rows.size()) : 0; }

void Dataset::execute()
{
    close();
    if (!conn_)
        throw EngineError(QStringLiteral("no database connection"));
    conn_->exec(sql_);
}

SelectColumns engine::describeColumns(sqlite3_stmt* st)
{
    SelectColumns out;
    const int n = sqlite3_column_count(st);
    out.columns.assign(n, Column{});
    out.oneTable = n > 0;
    for (int k = 0; k < n; ++k) {
        Column& c = out.columns[k];
        c.name = QString::fromUtf8(sqlite3_column_name(st, k));
        c.database = sqlite3_column_database_name(st, k);
        c.table = sqlite3_column_table_name(st, k);
        c.origin = sqlite3_column_origin_name(st, k);
        const QByteArray declared = QByteArray(sqlite3_column_decltype(st, k)).toLower();
        c.lazy = declared.isEmpty() || declared.contains("blob");
        if (c.origin.isEmpty() || c.table != out.columns[0].table || c.database != out.columns[0].database)
            out.oneTable = false;
    }
    if (!out.oneTable)
        return out;
    QStringList list, lazyList;
    for (const Column& c : out.columns) {
        const QString name = sql::quotedName(QString::fromUtf8(c.origin));
        if (c.lazy) {
            list << QStringLiteral("NULL");
            lazyList << QStringLiteral("typeof(%1)").arg(name) << QStringLiteral("length(%1)").arg(name);
        } else {
            list << name + QStringLiteral(" AS ") + sql::quotedName(c.name);
        }
    }
    list << lazyList << QStringLiteral("rowid");
    out.fastHead = QStringLiteral("SELECT ") + list.join(u',') + QStringLiteral(" FROM");
    return out;
}

void Dataset::open()
{
    close();
    if (!conn_)
        throw EngineError(QStringLiteral("no database connection"));
    sqlite3* db = conn_->handle();
    const QString sql = rewriteBooleanLiterals(sql_);

    Impl impl;
    // Static cursor: every row is read now, so that later statements on the
    // connection cannot disturb the walk. Blob columns are read as type and
    // length only, with the rowid, and their bytes on demand.
    const auto single = sql::singleTableSelect(sql);
    auto prepareFast = [&](const QString& fastHead) {
        const QString rewritten = fastHead + sql.mid(single->fromEnd);
        try {
            if (Statement st = conn_->statements().takeBound(rewritten))
                return st;
            return engine::prepareOne(db, rewritten.toUtf8());
        } catch (const EngineError&) {
            // Not every select survives the rewrite; those rows are read whole.
            return Statement();
        }
    };

    // The columns of a select from one table are those of its list over its
    // table, whatever its conditions: they are worked out once and kept.
    Statement fast;
    bool triedFast = false;
    if (single) {
        std::shared_ptr<const SelectColumns> known;
        try {
            known = conn_->statements().columnsOf(sql.left(single->sourceEnd).toUtf8());
        } catch (const EngineError&) {
            // Left to the statement as given, which says what is wrong with it.
        }
        if (known && known->oneTable) {
            impl.columns = known->columns;
            fast = prepareFast(known->fastHead);
            triedFast = true;
        }
    }
    Statement plain;
    if (!fast) {
        plain = conn_->statements().takeBound(sql);
        if (!plain)
            plain = engine::prepareOne(db, sql.toUtf8());
        if (sqlite3_column_count(plain.get()) == 0)
            throw EngineError(QStringLiteral("the statement returns no rows: %1").arg(sql_));
        SelectColumns described = engine::describeColumns(plain.get());
        impl.columns = std::move(described.columns);
        if (described.oneTable && single && !triedFast)
            fast = prepareFast(described.fastHead);
    }
    const int n = int(impl.columns.size());

    sqlite3_stmt* st = fast ? fast.get() : plain.get();
    impl.editable = bool(fast);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        Row row;
        row.values.reserve(n);
        int next = n;
        for (int k = 0; k < n; ++k) {
            if (fast && impl.columns[k].lazy) {
                row.values.push_back(lazyValue(st, next, next + 1));
                next += 2;
            } else {
                row.values.push_back(readValue(st, k));
            }
        }
        if (fast)
            row.rowid = sqlite3_column_int64(st, next);
        impl.rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE)
        fail(db, QStringLiteral("statement \"%1\" failed").arg(sql_));
    impl.open = true;
    *d_ = std::move(impl);
}

void Dataset::next()
{
    if (!d_->open)
        throw EngineError(QStringLiteral("the dataset is not open"));
    if (d_->editing)
        post();
    if (d_->pos < d_->rows.size())
        ++d_->pos;
}

Field Dataset::fieldByName(const QString& name)
{
    if (!d_->open)
        throw EngineError(QStringLiteral("the dataset is not open"));
    for (size_t k = 0; k < d_->columns.size(); ++k) {
        if (d_->columns[k].name.compare(name, Qt::CaseInsensitive) == 0)
            return Field(this, int(k));
    }
    throw EngineError(QStringLiteral("no column named %1 in the result of \"%2\"").arg(name, sql_));
}

void Dataset::edit()
{
    d_->current();
    if (!d_->editable)
        throw EngineError(QStringLiteral("rows of \"%1\" cannot be edited: only plain selects from one table can").arg(sql_));
    d_->editing = true;
}

void Dataset::post()
{
    Impl& d = *d_;
    if (!d.editing)
        return;
    Row& row = d.current();
    std::map<int, Pending> pending;
    pending.swap(d.pending);
    d.editing = false;
    if (pending.empty())
        return;

    sqlite3* db = conn_->handle();
    const Column& first = d.columns[pending.begin()->first];

    // Files are measured now and must not grow past the limit meanwhile. A
    // file of up to one piece is read whole and bound with the update; a
    // larger one goes into the value in pieces after it.
    struct Source {
        std::shared_ptr<QFile> file;
        qint64 size = 0;
        Value whole;        // the whole file as a blob, when it fits one piece
        bool inPieces = false;
    };
    std::map<int, Source> sources;
    bool pieces = false;
    QStringList sets;
    for (const auto& [k, p] : pending) {
        const QString name = sql::quotedName(QString::fromUtf8(d.columns[k].origin));
        if (!p.path.isEmpty()) {
            Source& source = sources[k];
            source.file = p.file;
            if (!source.file) {
                source.file = std::make_shared<QFile>(p.path);
                if (!source.file->open(QIODevice::ReadOnly | QIODevice::Unbuffered))
                    throw EngineError(QStringLiteral("cannot read %1: %2").arg(p.path, source.file->errorString()));
            }
            source.size = source.file->size();
            if (source.size > kMaxValueBytes)
                throw EngineError(p.path + QStringLiteral(": ") + tooLarge(source.size));
            if (source.size <= kPieceBytes) {
                source.whole.type = Value::Type::Blob;
                source.whole.bytes.resize(source.size);
                qint64 done = 0;
                while (done < source.size) {
                    const qint64 got = source.file->read(source.whole.bytes.data() + done, source.size - done);
                    if (got <= 0)
                        throw EngineError(QStringLiteral("cannot read %1: the file changed while it was stored").arg(p.path));
                    done += got;
                }
            } else {
                source.inPieces = true;
                pieces = true;
            }
        }
        sets << name + QStringLiteral(" = ?");
    }
    const QString update = QStringLiteral("UPDATE %1.%2 SET %3 WHERE rowid = ?")
                               .arg(sql::quotedName(QString::fromUtf8(first.database)),
                                    sql::quotedName(QString::fromUtf8(first.table)), sets.join(u','));

    // The row changes whole or not at all, also inside a caller's transaction:
    // a lone update is so by itself; an update followed by pieces needs a
    // savepoint (which copies the pages it touches into the statement journal).
    if (pieces)
        conn_->exec(QStringLiteral("SAVEPOINT tm_post"));
    try {
        Statement st = conn_->statements().take(update.toUtf8());
        int index = 1;
        for (const auto& [k, p] : pending) {
            if (p.path.isEmpty()) {
                bindValue(st.get(), index++, p.value);
            } else {
                const Source& source = sources[k];
                if (source.inPieces)
                    sqlite3_bind_zeroblob(st.get(), index++, int(source.size));
                else
                    bindValue(st.get(), index++, source.whole);
            }
        }
        sqlite3_bind_int64(st.get(), index, row.rowid);
        engine::runToEnd(db, st.get());
        if (sqlite3_changes(db) != 1)
            throw EngineError(QStringLiteral("the row to change no longer exists"));

        for (auto& [k, source] : sources) {
            if (!source.inPieces)
                continue;
            const QString& path = pending[k].path;
            BlobHandle blob(db, d.columns[k], row.rowid, true);
            QByteArray piece(kPieceBytes, Qt::Uninitialized);
            qint64 done = 0;
            while (done < source.size) {
                const qint64 got = source.file->read(piece.data(), qMin<qint64>(kPieceBytes, source.size - done));
                if (got <= 0)
                    throw EngineError(QStringLiteral("cannot read %1: the file changed while it was stored").arg(path));
                blob.write(piece.constData(), int(got), int(done));
                done += got;
            }
        }
        if (pieces)
            conn_->exec(QStringLiteral("RELEASE tm_post"));
    } catch (...) {
        if (pieces)
            sqlite3_exec(db, "ROLLBACK TO tm_post; RELEASE tm_post", nullptr, nullptr, nullptr);
        throw;
    }

    for (const auto& [k, p] : pending) {
        Value v;
        if (p.path.isEmpty()) {
            v = p.value;
        } else {
            v.type = Value::Type::Blob;
            v.lazy = true;
            v.size = sources[k].size;
        }
        row.values[k] = std::move(v);
    }
}

// ---------------------------------------------------------------- Field

namespace {

// The current value of a field, read from the database first where needed.
Value& valueOf(Dataset::Impl& d, sqlite3* db, int col)
{
    Row& row = d.current();
    Value& v = row.values[col];
    if (!v.loaded) {
        const Column& c = d.columns[col];
        Statement st = engine::prepareOne(db, QStringLiteral("SELECT %1 FROM %2.%3 WHERE rowid = %4")
                                                  .arg(sql::quotedName(QString::fromUtf8(c.origin)),
                                                       sql::quotedName(QString::fromUtf8(c.database)),
                                                       sql::quotedName(QString::fromUtf8(c.table)))
                                                  .arg(row.rowid)
                                                  .toUtf8());
        if (sqlite3_step(st.get()) != SQLITE_ROW)
            fail(db, QStringLiteral("the row no longer exists"));
        v = readValue(st.get(), 0);
    }
    return v;
}

// Hands the bytes of a value to sink in pieces.
void readPieces(Dataset::Impl& d, sqlite3* db, int col, const std::function<void(const char*, qint64)>& sink)
{
    const Value& v = valueOf(d, db, col);
    if (!v.lazy) {
        if (v.type == Value::Type::Text || v.type == Value::Type::Blob) {
            sink(v.bytes.constData(), v.bytes.size());
        } else if (v.type != Value::Type::Null) {
            const QByteArray text = v.type == Value::Type::Integer ? QByteArray::number(v.integer)
                                                                   : QByteArray::number(v.real, 'g', 15);
            sink(text.constData(), text.size());
        }
        return;
    }
    if (v.size == 0)
        return;
    BlobHandle blob(db, d.columns[col], d.current().rowid, false);
    const qint64 size = blob.size();
    QByteArray piece(int(qMin<qint64>(kPieceBytes, size)), Qt::Uninitialized);
    for (qint64 done = 0; done < size;) {
        const int n = int(qMin<qint64>(kPieceBytes, size - done));
        blob.read(piece.data(), n, int(done));
        sink(piece.constData(), n);
        done += n;
    }
}

} // namespace

QByteArray Field::asBytes() const
{
    // Text and blobs read with the row are handed out shared, without a copy:
    // the tree loader reads every title and id this way.
    const Value& v = valueOf(*ds_->d_, ds_->conn_->handle(), col_);
    if (!v.lazy && (v.type == Value::Type::Text || v.type == Value::Type::Blob))
        return v.bytes;
    QByteArray all;
    all.reserve(size());
    readPieces(*ds_->d_, ds_->conn_->handle(), col_, [&](const char* p, qint64 n) { all.append(p, n); });
    return all;
}

QString Field::asString() const
{
    return QString::fromUtf8(asBytes());
}

qint32 Field::asInteger() const
{
    const Value& v = valueOf(*ds_->d_, ds_->conn_->handle(), col_);
    switch (v.type) {
    case Value::Type::Integer:
        return qint32(v.integer);
    case Value::Type::Real:
        return qint32(v.real);
    case Value::Type::Text: {
        const QByteArray text = v.bytes.trimmed();
        bool ok = false;
        const qint64 i = text.toLongLong(&ok);
        if (ok)
            return qint32(i);
        const double r = text.toDouble(&ok);
        return ok ? qint32(r) : 0;
    }
    default:
        return 0;
    }
}

bool Field::asBoolean() const
{
    const Value& v = valueOf(*ds_->d_, ds_->conn_->handle(), col_);
    if (v.type == Value::Type::Text && v.bytes.trimmed().compare("true", Qt::CaseInsensitive) == 0)
        return true;
    if (v.type == Value::Type::Real)
        return v.real != 0;
    return asInteger() != 0;
}

bool Field::isNull() const
{
    return valueOf(*ds_->d_, ds_->conn_->handle(), col_).type == Value::Type::Null;
}

qint64 Field::size() const
{
    const Value& v = valueOf(*ds_->d_, ds_->conn_->handle(), col_);
    if (v.lazy)
        return v.size;
    if (v.type == Value::Type::Integer)
        return QByteArray::number(v.integer).size();
    if (v.type == Value::Type::Real)
        return QByteArray::number(v.real, 'g', 15).size();
    return v.bytes.size();
}

void Field::saveToFile(const QString& path) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EngineError(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    saveToStream(file);
    if (!file.flush())
        throw EngineError(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
}

void Field::saveToStream(QIODevice& out) const
{
    readPieces(*ds_->d_, ds_->conn_->handle(), col_, [&](const char* p, qint64 n) {
        if (out.write(p, n) != n)
            throw EngineError(QStringLiteral("cannot write a value out: %1").arg(out.errorString()));
    });
}

namespace {
Pending& pendingOf(Dataset::Impl& d, int col)
{
    d.current();
    if (!d.editing)
        throw EngineError(QStringLiteral("the dataset is not in edit mode"));
    Pending& p = d.pending[col];
    p = Pending{};
    return p;
}
} // namespace

void Field::setValue(const QVariant& value)
{
    if (value.typeId() == QMetaType::QByteArray && value.toByteArray().size() > kMaxValueBytes)
        throw EngineError(tooLarge(value.toByteArray().size()));
    pendingOf(*ds_->d_, col_).value = valueFromVariant(value);
}

void Field::setText(const QByteArray& utf8)
{
    if (utf8.size() > kMaxValueBytes)
        throw EngineError(tooLarge(utf8.size()));
    Value& v = pendingOf(*ds_->d_, col_).value;
    v.type = Value::Type::Text;
    v.bytes = utf8;
}

void Field::loadFromFile(const QString& path)
{
    // Kept open for the post, which reads it.
    auto file = std::make_shared<QFile>(path);
    if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw EngineError(QStringLiteral("cannot read %1: %2").arg(path, file->errorString()));
    if (file->isSequential()) {
        loadFromStream(*file);
        return;
    }
    if (file->size() > kMaxValueBytes)
        throw EngineError(QStringLiteral("cannot store %1: the file's ").arg(path) + tooLarge(file->size()));
    Pending& p = pendingOf(*ds_->d_, col_);
    p.path = path;
    p.file = std::move(file);
}

void Field::loadFromStream(QIODevice& in)
{
    ds_->d_->current();
    if (!ds_->d_->editing)
        throw EngineError(QStringLiteral("the dataset is not in edit mode"));
    if (!in.isReadable())
        throw EngineError(QStringLiteral("cannot read the stream: it is not open for reading"));

    // Up to one piece stays in memory; more goes to a private temporary file.
    QByteArray head;
    std::shared_ptr<QTemporaryFile> temp;
    QByteArray piece(kPieceBytes, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        const qint64 got = in.read(piece.data(), kPieceBytes);
        if (got < 0)
            throw EngineError(QStringLiteral("cannot read the stream: %1").arg(in.errorString()));
        if (got == 0 && (in.atEnd() || !in.isSequential() || !in.waitForReadyRead(-1)))
            break;
        total += got;
        if (total > kMaxValueBytes)
            throw EngineError(QStringLiteral("cannot store the stream: its ") + tooLarge(total));
        if (!temp && head.size() + got <= kPieceBytes) {
            head.append(piece.constData(), got);
            continue;
        }
        if (!temp) {
            temp = std::make_shared<QTemporaryFile>();
            if (!temp->open() || temp->write(head) != head.size())
                throw EngineError(QStringLiteral("cannot make a temporary copy of the stream: %1").arg(temp->errorString()));
            head.clear();
        }
        if (temp->write(piece.constData(), got) != got)
            throw EngineError(QStringLiteral("cannot make a temporary copy of the stream: %1").arg(temp->errorString()));
    }
    if (temp && !temp->flush())
        throw EngineError(QStringLiteral("cannot make a temporary copy of the stream: %1").arg(temp->errorString()));

    Pending& p = pendingOf(*ds_->d_, col_);
    if (temp) {
        p.path = temp->fileName();
        p.temp = std::move(temp);
    } else {
        p.value = valueFromVariant(QVariant(head));
    }
}

} // namespace tallowmere
