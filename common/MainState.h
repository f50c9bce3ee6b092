#pragma once
// The state the main window shares with the operations of every subsystem.
// The window owns what the pointers refer to; operations receive this struct,
// so they can be driven in tests without the whole window.

#include <QString>

class QTreeWidget;
class QPlainTextEdit;
class QStackedWidget;
class QLabel;
class QProgressBar;
class QAction;
class QToolButton;
class QMenu;
class QWidget;

namespace tallowmere {

class Dataset;
class WebView;
class Prompter;
class Clock;

struct MainState {
    // Fields the operations communicate through.
    QString currentItemId;
    QString programFolder;   // folder of the executable, with trailing "/"
    QString tempFolder;      // the user's private temporary folder, with trailing "/"
    QString pendingExt;
    qint32 pendingSize = 0;
    QString captureSource;
    bool includeSubdirs = false;  // the New Item dialog's check box, for the directory import
    bool webFlag = false;
    bool branchDeleted = false;
    int deepestLevel = 0;
    bool archiveOpen = false;

    // Collaborators, owned by the main window (or the test that builds the state).
    Dataset* pQ = nullptr;
    QWidget* window = nullptr;
    QTreeWidget* tree = nullptr;
    QPlainTextEdit* memo = nullptr;
    QPlainTextEdit* memo64k = nullptr;
    WebView* web = nullptr;
    QStackedWidget* contentStack = nullptr;
    QLabel* statusPanels[4] = {nullptr, nullptr, nullptr, nullptr};
    QProgressBar* gauge = nullptr;
    QAction* findDocAction = nullptr;   // "Find in this document"
    QAction* autoSaveAction = nullptr;  // "Autosave Text"
    QToolButton* fontButton = nullptr;
    QMenu* fontTxtMenu = nullptr;
    QMenu* fontMenu = nullptr;
    Prompter* prompter = nullptr;
    Clock* clock = nullptr;
};

} // namespace tallowmere
