#pragma once
// A scripted web view for unit tests: it records what the program asks of it
// and answers from fields the test sets. Nothing loads by itself; the test
// finishes a navigation with finishLoad().

#include "content/WebView.h"

#include <QStringList>

namespace tallowmere {

class FakeWebView : public WebView {
    Q_OBJECT
public:
    using WebView::WebView;

    // What the program did.
    QStringList navigations;         // every address given to navigate()
    QList<QByteArray> loadedDocuments; // every loadDocument() argument
    QStringList savedPaths;          // every path given to saveAs()/saveArchive()
    QStringList pdfPaths;            // every path given to printToPdf()
    int printCount = 0;

    // What the view answers.
    bool documentPresent = false;
    QString currentAddress;
    QByteArray document;             // returned by saveDocument() while a document is present
    QString text;                    // returned by pageText() while a document is present
    int zoomCount = 12;
    int zoom = 4;
    bool loadFails = false;          // loadDocument() throws std::runtime_error
    bool saveSucceeds = true;        // saveAs()/saveArchive()/printToPdf() write a file and return true
    QByteArray archiveBytes = "MIME-Version: 1.0\r\n\r\nfake archive";

    // Ends the current navigation the way the engine does: progress -1, then
    // document complete. The document becomes present.
    void finishLoad(bool ok = true);
    void emitProgress(int progress, int maximum = 100) { emit progressChange(progress, maximum); }

    QWidget* widget() override { return nullptr; }
    void navigate(const QString& address) override;
    bool hasDocument() const override { return documentPresent; }
    QString address() const override { return currentAddress; }
    void loadDocument(const QByteArray& html) override;
    QByteArray saveDocument() override { return documentPresent ? document : QByteArray(); }
    QString pageText() override { return documentPresent ? text : QString(); }
    int zoomLevel() const override { return zoom; }
    bool setZoomLevel(int level) override;
    int zoomLevelCount() const override { return zoomCount; }
    bool saveAs(const QString& path) override;
    bool saveArchive(const QString& path) override;
    bool printToPdf(const QString& path) override;
    void print() override { ++printCount; }

private:
    bool writeFile(const QString& path, const QByteArray& bytes);
};

} // namespace tallowmere
