// tallowmere-cli as a user runs it.

#include "tests/support/ArchiveFixture.h"

#include <QCryptographicHash>
#include <QFile>

#include <sys/stat.h>

using namespace tallowmere;

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run cli(const QStringList& args, const QString& workingDir = {})
{
    QProcess p;
    if (!workingDir.isEmpty())
        p.setWorkingDirectory(workingDir);
    p.start(qEnvironmentVariable("TM_BIN_DIR") + QStringLiteral("/tallowmere-cli"), args);
    if (!p.waitForStarted() || !p.waitForFinished(60000))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()).trimmed(),
            QString::fromUtf8(p.readAllStandardError()).trimmed()};
}

QByteArray digest(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class TestStoreCli : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void initMakesPrivateArchiveOnce();
    void initDefaultsToCurrentFolder();
    void badArguments_data();
    void badArguments();
};

void TestStoreCli::initTestCase()
{
    QVERIFY2(QFile::exists(qEnvironmentVariable("TM_BIN_DIR") + QStringLiteral("/tallowmere-cli")),
             "set TM_BIN_DIR to the folder of the built tallowmere-cli");
}

void TestStoreCli::initMakesPrivateArchiveOnce()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bbk.dat"));
    // Even with a umask that lets everyone read, the archive is private.
    const mode_t previous = ::umask(0);
    const Run made = cli({QStringLiteral("init"), dir.path()});
    ::umask(previous);
    QCOMPARE(made.exitCode, 0);
    QCOMPARE(made.out, path);

    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, mode_t(0600));
    Dataset pQ;
    QVERIFY(openArchiveDatabase(pQ, path));
    QVERIFY(runStatement(pQ, QStringLiteral("insert into paper (id, title) values ('a', 'kept')")));
    pQ.setConnection({});

    const QByteArray before = digest(path);
    const Run again = cli({QStringLiteral("init"), dir.path()});
    QCOMPARE(again.exitCode, 1);
    QVERIFY2(again.err.contains(QStringLiteral("already exists; not replaced")), qPrintable(again.err));
    QVERIFY(again.out.isEmpty());
    QCOMPARE(digest(path), before);
}

void TestStoreCli::initDefaultsToCurrentFolder()
{
    QTemporaryDir dir;
    const Run made = cli({QStringLiteral("init")}, dir.path());
    QCOMPARE(made.exitCode, 0);
    Dataset pQ;
    QVERIFY(openArchiveDatabase(pQ, dir.filePath(QStringLiteral("bbk.dat"))));
}

void TestStoreCli::badArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("nothing") << QStringList() << 2;
    QTest::newRow("unknown command") << QStringList({"frobnicate"}) << 2;
    QTest::newRow("too many arguments") << QStringList({"init", "a", "b"}) << 2;
    QTest::newRow("missing folder") << QStringList({"init", "no-such-folder"}) << 1;
}

void TestStoreCli::badArguments()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QTemporaryDir dir;
    const Run run = cli(args, dir.path());
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY(!run.err.isEmpty());
    QVERIFY(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot));
}

QTEST_GUILESS_MAIN(TestStoreCli)
#include "test_cli.moc"
