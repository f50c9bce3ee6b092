// The native-messaging host's messages and answers, its framing on a stream,
// and the browsers' host manifests.

#include "snagwick/HostManifests.h"
#include "snagwick/NativeHost.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using namespace tallowmere;

namespace {

struct Recorder {
    QStringList calls;
    qint32 result = 1;
    HostAddNode addnode()
    {
        return [this](const QVariantList& list, qint32 type, QString* error) {
            QStringList texts;
            for (const QVariant& v : list)
                texts << v.toString();
            calls << texts.join(u'|') + u'#' + QString::number(type);
            if (result < 0)
                *error = QStringLiteral("bridge failed");
            return result;
        };
    }
};

QJsonObject object(const QByteArray& json)
{
    return QJsonDocument::fromJson(json).object();
}

} // namespace

class TestNativeHost : public QObject {
    Q_OBJECT

private slots:
    void answers_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QString>("call");     // what reached the bridge, empty for none
        QTest::addColumn<bool>("refused");
        QTest::newRow("page") << QByteArray("{\"list\":[\"http://h/p\",\"A title\"],\"type\":7}") << "http://h/p|A title#7" << false;
        QTest::newRow("one element") << QByteArray("{\"list\":[\"http://h/p\"],\"type\":8}") << "http://h/p#8" << false;
        QTest::newRow("number element") << QByteArray("{\"list\":[\"a\",12],\"type\":-1}") << "a|12#-1" << false;
        QTest::newRow("extra keys") << QByteArray("{\"list\":[\"a\",\"b\"],\"type\":8,\"x\":1}") << "a|b#8" << false;
        QTest::newRow("not json") << QByteArray("{list") << "" << true;
        QTest::newRow("empty") << QByteArray() << "" << true;
        QTest::newRow("array") << QByteArray("[1]") << "" << true;
        QTest::newRow("no list") << QByteArray("{\"type\":7}") << "" << true;
        QTest::newRow("empty list") << QByteArray("{\"list\":[],\"type\":7}") << "" << true;
        QTest::newRow("object element") << QByteArray("{\"list\":[\"a\",{\"b\":1}],\"type\":7}") << "" << true;
        QTest::newRow("null element") << QByteArray("{\"list\":[null],\"type\":7}") << "" << true;
        QTest::newRow("no type") << QByteArray("{\"list\":[\"a\"]}") << "" << true;
        QTest::newRow("text type") << QByteArray("{\"list\":[\"a\"],\"type\":\"7\"}") << "" << true;
        QTest::newRow("fraction") << QByteArray("{\"list\":[\"a\"],\"type\":7.5}") << "" << true;
        QTest::newRow("too large") << QByteArray("{\"list\":[\"a\"],\"type\":4294967296}") << "" << true;
    }

    void answers()
    {
        QFETCH(QByteArray, message);
        QFETCH(QString, call);
        QFETCH(bool, refused);
        Recorder bridge;
        const QJsonObject answer = object(hostAnswer(message, bridge.addnode()));
        QCOMPARE(bridge.calls, call.isEmpty() ? QStringList() : QStringList{call});
        if (refused)
            QVERIFY(!answer.value(QStringLiteral("error")).toString().isEmpty());
        else
            QCOMPARE(answer, QJsonObject({{QStringLiteral("result"), 1}}));
    }

    void bridgeFailureIsAnswered()
    {
        Recorder bridge;
        bridge.result = qint32(0x80004005u);
        const QJsonObject answer = object(hostAnswer("{\"list\":[\"a\",\"b\"],\"type\":7}", bridge.addnode()));
        QCOMPARE(answer.value(QStringLiteral("result")).toInteger(), qint64(qint32(0x80004005u)));
        QCOMPARE(answer.value(QStringLiteral("error")).toString(), QStringLiteral("bridge failed"));
    }

    void stream_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("answers");
        QTest::addColumn<int>("exitCode");
        const QByteArray good = hostFrame("{\"list\":[\"a\",\"b\"],\"type\":7}");
        QTest::newRow("nothing") << QByteArray() << 0 << 0;
        QTest::newRow("two good, one bad") << good + hostFrame("junk") + good << 3 << 0;
        QTest::newRow("oversized") << good + QByteArray("\x01\x00\x10\x00", 4) + good << 2 << 1;
        QTest::newRow("cut short") << good + hostFrame("{\"list\":[\"a\"],\"type\":7}").left(10) << 2 << 1;
        QTest::newRow("cut in the length") << good + QByteArray("\x05\x00", 2) << 1 << 0;
    }

    void stream()
    {
        QFETCH(QByteArray, input);
        QFETCH(int, answers);
        QFETCH(int, exitCode);
        qint64 at = 0;
        QByteArray output;
        Recorder bridge;
        const int code = serveHostMessages(
            [&](char* data, qint64 size) {
                if (at + size > input.size())
                    return false;
                std::memcpy(data, input.constData() + at, size_t(size));
                at += size;
                return true;
            },
            [&](const QByteArray& bytes) { output += bytes; }, bridge.addnode());
        QCOMPARE(code, exitCode);
        int count = 0;
        while (output.size() >= 4) {
            quint32 size = 0;
            std::memcpy(&size, output.constData(), 4);
            QVERIFY(QJsonDocument::fromJson(output.mid(4, size)).isObject());
            output.remove(0, 4 + size);
            ++count;
        }
        QCOMPARE(output.size(), 0);
        QCOMPARE(count, answers);
    }

    void manifests()
    {
        QTemporaryDir home;
        qputenv("HOME", home.path().toUtf8());
        qunsetenv("XDG_CONFIG_HOME");
        QString error;
        const QStringList written = registerHost(QStringLiteral("/opt/t/snagwick"), &error);
        QCOMPARE(written, (QStringList{home.filePath(".config/chromium/NativeMessagingHosts/snagwick.newnode.json"),
                                       home.filePath(".mozilla/native-messaging-hosts/snagwick.newnode.json")}));
        for (const QString& path : written) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QJsonObject m = QJsonDocument::fromJson(f.readAll()).object();
            QCOMPARE(m.value("name").toString(), QStringLiteral("snagwick.newnode"));
            QCOMPARE(m.value("path").toString(), QStringLiteral("/opt/t/snagwick"));
            QCOMPARE(m.value("type").toString(), QStringLiteral("stdio"));
            QVERIFY(m.contains("allowed_origins") != m.contains("allowed_extensions"));
        }
        QCOMPARE(unregisterHost(&error), written);
        QVERIFY(error.isEmpty());
        for (const QString& path : written)
            QVERIFY(!QFile::exists(path));
        QCOMPARE(unregisterHost(&error), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestNativeHost)
#include "test_native_host.moc"
