#include "content/SizeText.h"

#include <QLocale>

namespace tallowmere {

namespace {

QString twoDecimals(double value)
{
    // Only the separator follows the system; digits stay plain, no grouping.
    QString text = QString::number(value, 'f', 2);
    text.replace(u'.', QLocale::system().decimalPoint());
    return text;
}

} // namespace

QString sizeText(qint64 bytes)
{
    if (bytes < 1024)
        return QString::number(bytes) + QStringLiteral(" Bytes");
    if (bytes < 1048576)
        return twoDecimals(bytes / 1024.0) + QStringLiteral(" KB");
    return twoDecimals(bytes / 1048576.0) + QStringLiteral(" MB");
}

} // namespace tallowmere
