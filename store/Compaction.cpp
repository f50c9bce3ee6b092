#include "store/Compaction.h"

#include "store/Archive.h"
#include "store/Engine_p.h"

#include <QFile>
#include <optional>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tallowmere {

namespace {

std::optional<CompactionStep> g_crashPoint;

void reached(CompactionStep step)
{
    if (g_crashPoint == step)
        ::_exit(9);
}

QByteArray native(const QString& path) { return QFile::encodeName(path); }

bool exists(const QString& path) { return ::access(native(path).constData(), F_OK) == 0; }

bool renameFile(const QString& from, const QString& to)
{
    return ::rename(native(from).constData(), native(to).constData()) == 0;
}

// Makes a rename or an unlink in folder durable.
void syncFolder(const QString& folder)
{
    const int fd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool syncFile(const QString& path)
{
    const int fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// The rows of every table, to check the copy against the source.
QString tableCounts(Connection& c)
{
    Dataset ds(std::shared_ptr<Connection>(&c, [](Connection*) {}));
    QString counts;
    for (const char* table : {"paper", "fileblock", "config"}) {
        ds.setStatement(QStringLiteral("select count(*) as n from %1").arg(QLatin1String(table)));
        ds.open();
        counts += ds.fieldByName(QStringLiteral("n")).asString() + QLatin1Char(' ');
        ds.close();
    }
    return counts;
}

int userVersion(Connection& c, const char* schema)
{
    sqlite3_stmt* st = nullptr;
    int version = 0;
    const QByteArray sql = QByteArray("PRAGMA ") + schema + ".user_version";
    if (sqlite3_prepare_v2(c.handle(), sql.constData(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        version = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    return version;
}

// Writes a compact copy of source into target (which must not exist) with the
// archive's key and cipher settings, and checks that it opens and holds the
// same rows. Throws EngineError on any failure.
void writeCompactCopy(const QString& source, const QString& target)
{
    // ATTACH inherits the connection's no-create flag: the file must exist.
    const int fd = ::open(native(target).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        throw EngineError(QStringLiteral("cannot create %1").arg(target));
    ::close(fd);

    QString sourceCounts;
    {
        auto db = Connection::open(source);
        sourceCounts = tableCounts(*db);
        sqlite3_stmt* attach = nullptr;
        if (sqlite3_prepare_v2(db->handle(), "ATTACH DATABASE ?1 AS compact KEY ?2", -1, &attach, nullptr) != SQLITE_OK)
            engine::fail(db->handle(), QStringLiteral("cannot attach the copy"));
        const QByteArray targetPath = native(target);
        sqlite3_bind_text(attach, 1, targetPath.constData(), targetPath.size(), SQLITE_TRANSIENT);
        sqlite3_bind_text(attach, 2, kArchivePassword, int(std::strlen(kArchivePassword)), SQLITE_STATIC);
        const int rc = sqlite3_step(attach);
        sqlite3_finalize(attach);
        if (rc != SQLITE_DONE)
            engine::fail(db->handle(), QStringLiteral("cannot attach the copy"));
        db->exec(QStringLiteral("PRAGMA compact.cipher_page_size = %1").arg(kCipherPageSize));
        db->exec(QStringLiteral("SELECT sqlcipher_export('compact')"));
        db->exec(QStringLiteral("PRAGMA compact.user_version = %1").arg(userVersion(*db, "main")));
        db->exec(QStringLiteral("DETACH DATABASE compact"));
    }
    // The copy must open on its own with the archive's settings and hold every row.
    {
        auto copy = Connection::open(target);
        if (tableCounts(*copy) != sourceCounts)
            throw EngineError(QStringLiteral("the compact copy does not hold the same rows"));
    }
    if (!syncFile(target))
        throw EngineError(QStringLiteral("cannot write %1 to disk").arg(target));
}

} // namespace

void setCompactionCrashPoint(CompactionStep step)
{
    g_crashPoint = step;
}

bool compactArchive(const QString& folder)
{
    const QString archive = folder + QLatin1String(kArchiveFileName);
    const QString source = folder + QLatin1String(kCompactSource);
    const QString target = folder + QLatin1String(kCompactTarget);

    if (!renameFile(archive, source))
        return false;  // open elsewhere or missing: stays as it is
    syncFolder(folder);
    reached(CompactionStep::AfterRenameToSource);

    bool swapped = false;
    try {
        // A copy left by an earlier failed compaction is stale: the old file
        // (now the source) holds the data, so the leftover can go.
        if (exists(target))
            QFile::remove(target);
        writeCompactCopy(source, target);
        reached(CompactionStep::AfterCopyWritten);
        swapped = renameFile(target, archive);
    } catch (const EngineError&) {
        swapped = false;
    }

    if (swapped) {
        syncFolder(folder);
        reached(CompactionStep::AfterRenameToArchive);
        QFile::remove(source);
        syncFolder(folder);
        return true;
    }
    // Put the old file back under its name.
    if (exists(archive))
        QFile::remove(archive);
    renameFile(source, archive);
    syncFolder(folder);
    return false;
}

bool recoverInterruptedCompaction(const QString& folder)
{
    const QString archive = folder + QLatin1String(kArchiveFileName);
    if (exists(archive))
        return false;
    const QString source = folder + QLatin1String(kCompactSource);
    const QString target = folder + QLatin1String(kCompactTarget);
    bool recovered = false;
    if (exists(source)) {
        recovered = renameFile(source, archive);
    } else if (exists(target)) {
        Dataset probe;
        if (openArchiveDatabase(probe, target)) {
            probe.setConnection({});
            recovered = renameFile(target, archive);
        }
    }
    if (recovered)
        syncFolder(folder);
    return recovered;
}

} // namespace tallowmere

namespace tallowmere {

void cleanUpOrphans(Dataset& pQ)
{
    runStatement(pQ, QStringLiteral("delete from paper where parentpaperid not in (select id from paper)"
                                    "         and parentpaperid <> '0'"));
    runStatement(pQ, QStringLiteral("delete from fileblock where paperid not in (select id from paper)"));
}

} // namespace tallowmere
