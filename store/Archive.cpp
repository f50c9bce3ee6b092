#include "store/Archive.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tallowmere {

bool openArchiveDatabase(Dataset& pQ, const QString& path)
{
    try {
        pQ.setConnection(Connection::open(path));
    } catch (...) {
        pQ.setConnection({});
        return false;
    }
    if (runQuery(pQ, QStringLiteral("select times,ifonlyhtm from config")))
        return true;
    // A file that opens but holds no archive (an empty file, say) must not
    // take the statements meant for the archive.
    pQ.setConnection({});
    return false;
}

bool runQuery(Dataset& ds, const QString& sql)
{
    try {
        ds.close();
        ds.setStatement(sql);
        ds.open();
        return true;
    } catch (...) {
        ds.close();
        return false;
    }
}

bool runStatement(Dataset& ds, const QString& sql)
{
    try {
        ds.close();
        ds.setStatement(sql);
        ds.execute();
        ds.close();
        return true;
    } catch (...) {
        ds.close();
        return false;
    }
}

bool itemExists(Dataset& ds, const QString& id)
{
    if (!runQuery(ds, QStringLiteral("select id from paper where id = ") + quoted(id)))
        return false;
    const bool found = !ds.eof();
    ds.close();
    return found;
}

QString quoted(const QString& text)
{
    QString inner = text;
    inner.replace(u'\'', QStringLiteral("''"));
    return u'\'' + inner + u'\'';
}

namespace {

const char* const kSchema = R"sql(
CREATE TABLE paper (id TEXT NOT NULL UNIQUE, title TEXT, ParentPaperID TEXT, indexid INTEGER,
  typeid INTEGER, createtime TEXT, ModifyTime TEXT, ExtName TEXT, SizeByte INTEGER,
  HasSubFolders BOOLEAN DEFAULT 0, content BLOB, plaintext TEXT, oriname TEXT);
CREATE TABLE fileblock (paperid TEXT, indexid INTEGER, thesize INTEGER, TheFileName TEXT, block BLOB);
CREATE TABLE config (times INTEGER, ifonlyhtm INTEGER);
CREATE INDEX paper_parent ON paper(ParentPaperID, indexid);
CREATE INDEX fileblock_paper ON fileblock(paperid, indexid);
)sql";

} // namespace

void createArchive(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink())
        throw EngineError(QStringLiteral("%1 already exists; not replaced").arg(path));

    // Made here, private from the first moment, and never over an existing file.
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        const int error = errno;
        if (error == EEXIST)
            throw EngineError(QStringLiteral("%1 already exists; not replaced").arg(path));
        throw EngineError(QStringLiteral("cannot create %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error))));
    }
    const bool privateMode = ::fchmod(fd, 0600) == 0;
    ::close(fd);

    try {
        if (!privateMode)
            throw EngineError(QStringLiteral("cannot make %1 private").arg(path));
        auto connection = Connection::open(path);
        try {
            connection->begin();
            connection->exec(QString::fromUtf8(kSchema));
            connection->commit();
        } catch (...) {
            connection->rollback();
            throw;
        }
    } catch (...) {
        QFile::remove(path);
        QFile::remove(path + QStringLiteral("-journal"));
        throw;
    }
}

} // namespace tallowmere
