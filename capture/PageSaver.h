#pragma once
// Saves the web view's current page as a single-file web archive (MHTML) at a
// target path, without asking the user. One save at a time in the program.

#include <QString>

namespace tallowmere {

class WebView;

class CSaveAsWebbrowser {
public:
    CSaveAsWebbrowser() = default;
    virtual ~CSaveAsWebbrowser();
    CSaveAsWebbrowser(const CSaveAsWebbrowser&) = delete;
    CSaveAsWebbrowser& operator=(const CSaveAsWebbrowser&) = delete;

    // Replaces any web view attached before; the view is not owned.
    void attach(WebView* web) { m_web = web; }
    // Stores the path; the save type becomes the single-file archive.
    void setTargetPath(const QString& path);
    // Saves the page once it has finished loading (bounded wait). An empty
    // target path becomes "untitled"; a path without an extension gets
    // ".mht", as in a save dialog. False without a web view, while another
    // save runs, or when no file was written.
    bool save();

    QString targetPath() const { return m_targetPath; }
    int saveType() const { return m_saveType; }
    bool armed() const { return m_armed; }
    // True while some page saver is saving.
    static bool saveRunning();

private:
    WebView* m_web = nullptr;
    QString m_targetPath;
    int m_saveType = 0;
    bool m_armed = false;
};

} // namespace tallowmere
