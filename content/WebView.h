#pragma once
// The operations the program asks of its web view, and nothing more. One
// implementation runs on Qt WebEngine (WebEngineView.h), a scripted fake serves
// unit tests. Asynchronous engine calls are waited for inside the
// implementation, so callers keep synchronous steps.

#include <QByteArray>
#include <QObject>
#include <QString>

class QWidget;

namespace tallowmere {

class WebView : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~WebView() override = default;

    // The widget that shows the page (null for a fake without one).
    virtual QWidget* widget() = 0;

    // Starts loading an address or a local file path; returns at once.
    virtual void navigate(const QString& address) = 0;
    // True while a document is loaded (after the first load has finished).
    virtual bool hasDocument() const = 0;
    // The address of the current document.
    virtual QString address() const = 0;

    // Replaces the document by these HTML bytes, of any size; relative links
    // resolve against "about:blank". Throws std::runtime_error on failure.
    virtual void loadDocument(const QByteArray& html) = 0;
    // The document's HTML as the browser serialises it; empty when none.
    virtual QByteArray saveDocument() = 0;
    // The rendered text of the page ("outer text" of the body).
    virtual QString pageText() = 0;

    // Text zoom as a level index: 0 is the smallest, zoomLevelCount()-1 the
    // largest. setZoomLevel refuses a level out of range (false, nothing changes).
    virtual int zoomLevel() const = 0;
    virtual bool setZoomLevel(int level) = 0;
    virtual int zoomLevelCount() const = 0;

    // Saves the page by the browser's own means, no prompt: the format follows
    // the extension (".mht"/".mhtml" single-file archive, else complete HTML).
    virtual bool saveAs(const QString& path) = 0;
    // Saves the page as a single-file web archive (MHTML) at path; waits until
    // the page has finished loading (bounded) first. True when the file was written.
    virtual bool saveArchive(const QString& path) = 0;
    // Prints the page to a PDF file (the print path that needs no printer).
    virtual bool printToPdf(const QString& path) = 0;
    // Prints the page through the print dialog.
    virtual void print() = 0;

signals:
    // Loading progress (progress, maximum); progress -1 when finished.
    void progressChange(int progress, int maximum);
    // The whole page has loaded (ok false for an error page).
    void documentComplete(const QString& address, bool ok);
};

} // namespace tallowmere
