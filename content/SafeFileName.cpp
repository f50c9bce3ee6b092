#include "content/SafeFileName.h"

namespace tallowmere {

QString safeFileName(const QString& title)
{
    if (title.isEmpty() || title == QLatin1String(".") || title == QLatin1String(".."))
        return QStringLiteral("_");
    QString name = title;
    for (QChar& c : name) {
        if (c == u'/' || c == QChar(0))
            c = u'_';
    }
    return name;
}

} // namespace tallowmere
