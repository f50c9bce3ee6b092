#pragma once
// The native-messaging host that a browser extension starts: it reads the
// browser's messages from its input, each a 32-bit length in native byte order
// followed by that many bytes of UTF-8 JSON, {"list":[address, title],
// "type":N}, hands each capture to the bridge and answers each message in the
// same framing: {"result":1} when handed over, {"error":"..."} (with "result"
// when the bridge itself failed) otherwise. Malformed messages get an error
// answer and the host reads on; a message larger than any capture needs gets
// an error answer and ends the host, since its bytes cannot be trusted.

#include <QByteArray>
#include <QString>
#include <QVariantList>

#include <functional>

namespace tallowmere {

inline constexpr qint64 kMaxHostMessage = 1024 * 1024;

// The bridge as the host calls it: result code, and a reason when it failed.
using HostAddNode = std::function<qint32(const QVariantList& list, qint32 type, QString* error)>;
// Reads exactly size bytes; false when the input ends first.
using HostRead = std::function<bool(char* data, qint64 size)>;
using HostWrite = std::function<void(const QByteArray& bytes)>;

// The JSON answer to one message's bytes.
QByteArray hostAnswer(const QByteArray& message, const HostAddNode& addnode);

// A message in the browser's framing.
QByteArray hostFrame(const QByteArray& json);

// Serves messages until the input ends. 0 at a clean end (between messages),
// 1 when the input broke off inside a message or a message was too large.
int serveHostMessages(const HostRead& read, const HostWrite& write, const HostAddNode& addnode);

} // namespace tallowmere
