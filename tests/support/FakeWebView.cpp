#include "tests/support/FakeWebView.h"

#include <QFile>

#include <stdexcept>

namespace tallowmere {

void FakeWebView::navigate(const QString& address)
{
    navigations << address;
    currentAddress = address;
}

void FakeWebView::finishLoad(bool ok)
{
    documentPresent = true;
    emit progressChange(-1, 100);
    emit documentComplete(currentAddress, ok);
}

void FakeWebView::loadDocument(const QByteArray& html)
{
    if (loadFails)
        throw std::runtime_error("scripted load failure");
    loadedDocuments << html;
    document = html;
    documentPresent = true;
    currentAddress = QStringLiteral("about:blank");
}

bool FakeWebView::setZoomLevel(int level)
{
    if (level < 0 || level >= zoomCount)
        return false;
    zoom = level;
    return true;
}

bool FakeWebView::saveAs(const QString& path)
{
    savedPaths << path;
    return writeFile(path, archiveBytes);
}

bool FakeWebView::saveArchive(const QString& path)
{
    savedPaths << path;
    return writeFile(path, archiveBytes);
}

bool FakeWebView::printToPdf(const QString& path)
{
    pdfPaths << path;
    return writeFile(path, "%PDF-1.4\n%fake\n");
}

bool FakeWebView::writeFile(const QString& path, const QByteArray& bytes)
{
    if (!saveSucceeds || !documentPresent)
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace tallowmere
