// The built program as a user starts it: its own program folder, one copy at a time.

#include "tests/support/ArchiveFixture.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace tallowmere;

namespace {

QByteArray digest(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// True once some process holds the single-instance lock in folder.
bool lockHeld(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder + "/BrambookMutex").constData(), O_RDWR);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    if (!held)
        ::flock(fd, LOCK_UN);
    ::close(fd);
    return held;
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_program;
    QString m_runtime;

    QProcessEnvironment environment(bool display = true) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime);
        env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
        if (display) {
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        } else {
            env.remove(QStringLiteral("QT_QPA_PLATFORM"));
            env.remove(QStringLiteral("DISPLAY"));
            env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        }
        return env;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QString bin = qEnvironmentVariable("TM_BIN_DIR");
        QVERIFY2(!bin.isEmpty(), "TM_BIN_DIR is not set");
        QDir(m_dir.path()).mkpath(QStringLiteral("program"));
        QDir(m_dir.path()).mkpath(QStringLiteral("runtime"));
        m_runtime = m_dir.filePath(QStringLiteral("runtime"));
        m_program = m_dir.filePath(QStringLiteral("program/Tallowmere"));
        QVERIFY(QFile::copy(bin + QStringLiteral("/Tallowmere"), m_program));
        createArchive(m_dir.filePath(QStringLiteral("program/bbk.dat")));
        Connection::open(m_dir.filePath(QStringLiteral("program/bbk.dat")))
            ->exec(QStringLiteral("insert into paper(id,title,ParentPaperID,indexid,typeid) "
                                  "values('2024-01-01 00:00:00','Kept','0',0,4)"));
    }

    void secondStartEndsAtOnceFirstUntouched()
    {
        const QString archive = m_dir.filePath(QStringLiteral("program/bbk.dat"));
        QProcess first;
        first.setProcessEnvironment(environment());
        first.start(m_program, {});
        QVERIFY(first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(lockHeld(m_runtime), 30000);
        const QByteArray before = digest(archive);

        QProcess second;
        second.setProcessEnvironment(environment());
        second.start(m_program, {});
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 1);
        QVERIFY(second.readAllStandardOutput().isEmpty());

        QCOMPARE(first.state(), QProcess::Running);
        QCOMPARE(digest(archive), before);
        first.kill();
        first.waitForFinished();

        // The kernel dropped the lock with the process: the next start runs.
        QVERIFY(!lockHeld(m_runtime));
    }

    void withoutDisplaySaysWhatToDo()
    {
        QProcess p;
        p.setProcessEnvironment(environment(false));
        p.start(m_program, {});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY(p.readAllStandardError().contains("xvfb-run"));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "test_startup.moc"
