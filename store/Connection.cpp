#include "store/Engine_p.h"
#include "store/SqlText.h"

#include <QFile>
#include <cstring>

namespace tallowmere {

namespace engine {

namespace {
constexpr int kBusyTimeoutMs = 5000;

QString shortened(const QString& text)
{
    constexpr qsizetype kMax = 300;
    return text.size() <= kMax ? text : text.left(kMax) + QStringLiteral("...");
}
} // namespace

void fail(sqlite3* db, const QString& what)
{
    const QString reason = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("no connection");
    throw EngineError(what + QStringLiteral(": ") + reason);
}

Statement prepareNext(sqlite3* db, const QByteArray& utf8, int& offset)
{
    while (offset < utf8.size()) {
        sqlite3_stmt* st = nullptr;
        const char* begin = utf8.constData() + offset;
        const char* tail = nullptr;
        const int rc = sqlite3_prepare_v2(db, begin, utf8.size() - offset, &st, &tail);
        if (rc != SQLITE_OK) {
            sqlite3_finalize(st);
            fail(db, QStringLiteral("cannot prepare \"%1\"").arg(shortened(QString::fromUtf8(begin))));
        }
        offset += int(tail - begin);
        if (st)
            return Statement(st);
        if (tail == begin)
            break;
    }
    return {};
}

Statement prepareOne(sqlite3* db, const QByteArray& utf8)
{
    int offset = 0;
    Statement st = prepareNext(db, utf8, offset);
    if (!st)
        throw EngineError(QStringLiteral("empty statement"));
    if (prepareNext(db, utf8, offset))
        throw EngineError(QStringLiteral("more than one statement in \"%1\"").arg(shortened(QString::fromUtf8(utf8))));
    return st;
}

void runToEnd(sqlite3* db, sqlite3_stmt* st, const QString& text)
{
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) {
        fail(db, QStringLiteral("statement \"%1\" failed")
                     .arg(shortened(text.isEmpty() ? QString::fromUtf8(sqlite3_sql(st)) : text)));
    }
}

// ---------------------------------------------------------------- StatementCache

namespace {
// Kept statements beyond this many are finalized, least recently used first.
constexpr size_t kKeptStatements = 32;
constexpr size_t kKeptColumns = 64;
} // namespace

void Statement::release()
{
    if (!s_)
        return;
    if (home_)
        home_->giveBack(s_, std::move(key_));
    else
        sqlite3_finalize(s_);
    s_ = nullptr;
    home_ = nullptr;
}

StatementCache::~StatementCache()
{
    dropAll();
    sqlite3_finalize(schemaVersion_);
}

void StatementCache::dropAll()
{
    for (const Kept& k : kept_)
        sqlite3_finalize(k.st);
    kept_.clear();
    columns_.clear();
}

Statement StatementCache::takeKept(const QByteArray& utf8)
{
    for (auto it = kept_.rbegin(); it != kept_.rend(); ++it) {
        if (it->key == utf8) {
            Statement st(it->st);
            st.home_ = this;
            st.key_ = std::move(it->key);
            kept_.erase(std::next(it).base());
            return st;
        }
    }
    return {};
}

Statement StatementCache::take(const QByteArray& utf8)
{
    if (Statement st = takeKept(utf8))
        return st;
    Statement st = prepareOne(db_, utf8);
    keep(st, utf8);
    return st;
}

Statement StatementCache::takeBound(const QString& sql)
{
    const std::optional<sql::Parameterized> shape = sql::parameterized(sql);
    if (!shape)
        return {};
    // Callers read the columns before the first step, which alone would bring
    // a kept statement up to date.
    checkSchema();
    const QByteArray key = shape->text.toUtf8();
    Statement st = takeKept(key);
    if (!st) {
        try {
            st = prepareOne(db_, key);
        } catch (const EngineError&) {
            return prepareOne(db_, rewriteBooleanLiterals(sql).toUtf8());
        }
        if (size_t(sqlite3_bind_parameter_count(st.get())) != shape->values.size())
            return prepareOne(db_, rewriteBooleanLiterals(sql).toUtf8());
        keep(st, key);
    }
    int index = 1;
    for (const sql::Parameterized::Value& value : shape->values) {
        int rc;
        if (value.isInteger) {
            rc = sqlite3_bind_int64(st.get(), index++, value.integer);
        } else {
            const QByteArray utf8 = value.text.toUtf8();
            rc = sqlite3_bind_text(st.get(), index++, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        }
        if (rc != SQLITE_OK)
            fail(db_, QStringLiteral("cannot prepare \"%1\"").arg(shortened(sql)));
    }
    return st;
}

void StatementCache::keep(Statement& st, const QByteArray& utf8)
{
    if (!st || st.home_)
        return;
    st.home_ = this;
    st.key_ = utf8;
}

void StatementCache::giveBack(sqlite3_stmt* st, QByteArray key)
{
    // A statement left standing on a row would hold its read lock.
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    kept_.push_back({std::move(key), st});
    if (kept_.size() > kKeptStatements) {
        sqlite3_finalize(kept_.front().st);
        kept_.erase(kept_.begin());
    }
}

std::shared_ptr<const SelectColumns> StatementCache::columnsOf(const QByteArray& head)
{
    checkSchema();
    if (const auto it = columns_.find(head); it != columns_.end())
        return it->second;
    const Statement st = prepareOne(db_, head);
    auto described = std::make_shared<const SelectColumns>(describeColumns(st.get()));
    // The selects a program makes are few; past that many, start again.
    if (columns_.size() >= kKeptColumns)
        columns_.clear();
    columns_[head] = described;
    return described;
}

void StatementCache::checkSchema()
{
    std::optional<int> version;
    if (schemaVersion_ || sqlite3_prepare_v2(db_, "PRAGMA schema_version", -1, &schemaVersion_, nullptr) == SQLITE_OK) {
        if (sqlite3_step(schemaVersion_) == SQLITE_ROW)
            version = sqlite3_column_int(schemaVersion_, 0);
        sqlite3_reset(schemaVersion_);
    }
    // Unknown (the file is busy, say) counts as changed: fresh statements are always right.
    if (!version || version != knownSchema_)
        dropAll();
    knownSchema_ = version;
}

} // namespace engine

Connection::Connection(sqlite3* db, QString path)
    : db_(db), path_(std::move(path)), statements_(std::make_unique<engine::StatementCache>(db))
{
}

std::shared_ptr<Connection> Connection::open(const QString& path, Mode mode)
{
    const int flags = SQLITE_OPEN_READWRITE | (mode == Mode::Create ? SQLITE_OPEN_CREATE : 0);
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    // Until the connection object owns the handle, every failure closes it here.
    auto fail = [&](const QString& what) {
        const QString reason = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
        sqlite3_close_v2(db);
        throw EngineError(QStringLiteral("cannot open %1: %2 (%3)").arg(path, what, reason));
    };
    if (rc != SQLITE_OK)
        fail(QStringLiteral("the file cannot be opened"));
    if (sqlite3_key(db, kArchivePassword, int(std::strlen(kArchivePassword))) != SQLITE_OK)
        fail(QStringLiteral("the key cannot be set"));
    const QByteArray pageSize = "PRAGMA cipher_page_size = " + QByteArray::number(kCipherPageSize);
    if (sqlite3_exec(db, pageSize.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(QStringLiteral("the cipher page size cannot be set"));

    // Plain SQLite ignores the key and the pragmas without a word; only
    // SQLCipher answers cipher_version.
    bool cipher = false;
    {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA cipher_version", -1, &st, nullptr) == SQLITE_OK
            && sqlite3_step(st) == SQLITE_ROW && sqlite3_column_bytes(st, 0) > 0)
            cipher = true;
        sqlite3_finalize(st);
    }
    if (!cipher)
        fail(QStringLiteral("the SQLCipher library is not loaded (plain SQLite would leave the archive unencrypted)"));

    sqlite3_busy_timeout(db, engine::kBusyTimeoutMs);

    // A wrong key or a file that is no archive fails at the first read.
    if (sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(QStringLiteral("not an archive, or the key does not match"));

    return std::shared_ptr<Connection>(new Connection(db, path));
}

Connection::~Connection()
{
    statements_.reset();  // every statement finalized before the handle closes
    sqlite3_close_v2(db_);
}

void Connection::exec(const QString& sql)
{
    if (engine::Statement st = statements_->takeBound(sql)) {
        engine::runToEnd(db_, st.get(), sql);  // named as written, values and all
        return;
    }
    const QByteArray utf8 = rewriteBooleanLiterals(sql).toUtf8();
    if (engine::Statement st = statements_->takeKept(utf8)) {
        engine::runToEnd(db_, st.get());
        return;
    }
    // Each statement is prepared only once the one before it has run (it may
    // create what the next one uses). A text of one statement is kept.
    int offset = 0;
    engine::Statement st = engine::prepareNext(db_, utf8, offset);
    for (bool first = true; st; first = false) {
        engine::runToEnd(db_, st.get());
        engine::Statement next = engine::prepareNext(db_, utf8, offset);
        if (first && !next)
            statements_->keep(st, utf8);
        st = std::move(next);
    }
}

void Connection::rollback()
{
    // Used on failure paths: no transaction to roll back is not an error.
    if (!sqlite3_get_autocommit(db_))
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

} // namespace tallowmere
