#include "snagwick/NativeHost.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstring>
#include <limits>

namespace tallowmere {

namespace {

QByteArray errorAnswer(const QString& text)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("error"), text}}).toJson(QJsonDocument::Compact);
}

} // namespace

QByteArray hostAnswer(const QByteArray& message, const HostAddNode& addnode)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(message, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return errorAnswer(QStringLiteral("The message is not JSON: ") + parseError.errorString());
    if (!doc.isObject())
        return errorAnswer(QStringLiteral("The message must be an object {\"list\":[address, title], \"type\":N}."));
    const QJsonObject object = doc.object();

    const QJsonValue list = object.value(QStringLiteral("list"));
    if (!list.isArray() || list.toArray().isEmpty())
        return errorAnswer(QStringLiteral("\"list\" must be an array holding the page address and title."));
    QVariantList pList;
    for (const QJsonValue& element : list.toArray()) {
        if (element.isString())
            pList << element.toString();
        else if (element.isDouble())
            pList << element.toVariant().toString();
        else
            return errorAnswer(QStringLiteral("The elements of \"list\" must be text."));
    }

    const QJsonValue type = object.value(QStringLiteral("type"));
    const double code = type.toDouble(std::numeric_limits<double>::quiet_NaN());
    if (!type.isDouble() || std::trunc(code) != code || code < std::numeric_limits<qint32>::min()
        || code > std::numeric_limits<qint32>::max())
        return errorAnswer(QStringLiteral("\"type\" must be a whole number (the requested type code)."));

    QString error;
    const qint32 result = addnode(pList, qint32(code), &error);
    QJsonObject answer{{QStringLiteral("result"), result}};
    if (result < 0)
        answer.insert(QStringLiteral("error"), error.isEmpty() ? QStringLiteral("The page could not be handed over.") : error);
    return QJsonDocument(answer).toJson(QJsonDocument::Compact);
}

QByteArray hostFrame(const QByteArray& json)
{
    const quint32 size = quint32(json.size());
    QByteArray framed(sizeof size, Qt::Uninitialized);
    std::memcpy(framed.data(), &size, sizeof size);
    return framed + json;
}

int serveHostMessages(const HostRead& read, const HostWrite& write, const HostAddNode& addnode)
{
    for (;;) {
        quint32 size = 0;
        if (!read(reinterpret_cast<char*>(&size), sizeof size))
            return 0;
        if (size > kMaxHostMessage) {
            write(hostFrame(errorAnswer(QStringLiteral("The message of %1 bytes is larger than the %2 bytes a capture may take.")
                                            .arg(size).arg(kMaxHostMessage))));
            return 1;
        }
        QByteArray message(qsizetype(size), Qt::Uninitialized);
        if (size > 0 && !read(message.data(), size)) {
            write(hostFrame(errorAnswer(QStringLiteral("The message ends before its %1 bytes.").arg(size))));
            return 1;
        }
        write(hostFrame(hostAnswer(message, addnode)));
    }
}

} // namespace tallowmere
