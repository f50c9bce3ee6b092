#include "content/TextFile.h"

#include <QFile>
#include <QPlainTextEdit>

namespace tallowmere {

bool readTextFile(const QString& path, QByteArray* bytes, QString* reason)
{
    QFile file(path);
    // Read whole in one go: no buffer of the device's own.
    bool ok = file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    QByteArray read;
    if (ok) {
        read = file.readAll();
        ok = file.error() == QFileDevice::NoError;
    }
    if (!ok) {
        if (reason)
            *reason = file.errorString();
        return false;
    }
    if (bytes)
        *bytes = std::move(read);
    return true;
}

bool loadTextFile(QPlainTextEdit* memo, const QString& path, QString* reason)
{
    QByteArray bytes;
    if (!readTextFile(path, &bytes, reason))
        return false;
    if (memo)
        memo->setPlainText(QString::fromUtf8(bytes));
    return true;
}

namespace {

// What the editor gives back for one character: a line break (written as
// CR LF), a space, or the character itself.
enum class Read { Break, Space, Same };

Read readBack(char16_t c)
{
    if (c > u'\r' && c < 0x00A0)  // most of any text
        return Read::Same;
    switch (c) {
    case u'\r':
    case u'\n':
    case 0x2028:  // line separator: kept by the editor, read back as a break
    case 0x2029:  // paragraph separator
    case 0xFDD0:  // the editor's frame marks
    case 0xFDD1:
        return Read::Break;
    case 0x00A0:  // no-break space
        return Read::Space;
    default:
        return Read::Same;
    }
}

} // namespace

QString storedTextOf(const QByteArray& utf8)
{
    const QString text = QString::fromUtf8(utf8);
    const char16_t* const begin = reinterpret_cast<const char16_t*>(text.constData());
    const char16_t* const end = begin + text.size();
    // CR LF is one break for the editor; a lone CR is a break too. So the
    // stored text is one character longer for every break of one character.
    qsizetype length = text.size();
    for (const char16_t* p = begin; p != end; ++p) {
        if (readBack(*p) == Read::Break) {
            if (*p == u'\r' && p + 1 != end && p[1] == u'\n')
                ++p;
            else
                ++length;
        }
    }
    QString out(length, Qt::Uninitialized);
    char16_t* o = reinterpret_cast<char16_t*>(out.data());
    for (const char16_t* p = begin; p != end; ++p) {
        switch (readBack(*p)) {
        case Read::Break:
            if (*p == u'\r' && p + 1 != end && p[1] == u'\n')
                ++p;
            *o++ = u'\r';
            *o++ = u'\n';
            break;
        case Read::Space:
            *o++ = u' ';
            break;
        case Read::Same:
            *o++ = *p;
            break;
        }
    }
    return out;
}

} // namespace tallowmere
