#pragma once
// What crosses between the capture bridge and the program: the names of the
// automation service on the session bus, and the capture string, the one
// command-line argument with which a capture starts the program (the requested
// type code in decimal, the page address, "()", the page title; no quoting
// inside). Header-only, so that the bridge writes exactly what the program
// reads without linking it.

#include <QString>

namespace tallowmere {

inline constexpr const char* kNewNodeService = "Brambook.NewNode";
inline constexpr const char* kNewNodePath = "/NewNode";
inline constexpr const char* kNewNodeInterface = "Brambook.INewNode";
// AddNode's results: S_FALSE once the capture has been handed to the add
// operation, S_OK for a list of lists, which changes nothing.
inline constexpr int kAddNodeDone = 1;
inline constexpr int kAddNodeIgnored = 0;

struct CaptureRequest {
    QString address;
    QString title;
    qint32 typeCode = 0;
};

inline QString makeCaptureString(qint32 typeCode, const QString& address, const QString& title)
{
    return QString::number(typeCode) + address + QStringLiteral("()") + title;
}

// The type code is an optional "-" and all the digits that lead the string, so
// -1 and codes above 9 travel whole. A string that does not begin with a digit
// (or "-" and a digit) gives code 0 and its address starts at its second
// character; so does a number too large for 32 bits. The address runs up to
// the first "()" and the title is everything behind it; without "()" the
// address is empty and the title is all that follows the type code.
inline CaptureRequest parseCaptureString(const QString& text)
{
    CaptureRequest r;
    qsizetype pos = 0;
    if (text.startsWith(u'-'))
        pos = 1;
    qsizetype end = pos;
    while (end < text.size() && text.at(end).isDigit() && text.at(end).unicode() < 128)
        ++end;
    qsizetype rest = 0;
    if (end > pos) {
        bool ok = false;
        const qint32 code = text.left(end).toInt(&ok);
        r.typeCode = ok ? code : 0;
        rest = end;
    } else {
        rest = qMin<qsizetype>(1, text.size());
    }
    const qsizetype separator = text.indexOf(QLatin1String("()"), rest);
    if (separator < 0) {
        r.title = text.mid(rest);
    } else {
        r.address = text.mid(rest, separator - rest);
        r.title = text.mid(separator + 2);
    }
    return r;
}

} // namespace tallowmere
