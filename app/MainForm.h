#pragma once
// The main window "Marmalon": builds the controls, owns the shared state and
// forwards each event to the operation of its subsystem.

#include "common/MainState.h"
#include "common/Prompter.h"
#include "content/WebView.h"
#include "store/Clock.h"
#include "store/Dataset.h"

#include <QMainWindow>
#include <memory>

class QTreeWidget;
class QTreeWidgetItem;
class QPlainTextEdit;
class QStackedWidget;
class QToolButton;
class QMenu;
class QSplitter;
class QWidget;
class QFrame;

namespace tallowmere {

class Dataset;
class WebView;
class Prompter;
class Clock;
class TForm_Search;
class SearchPanel;
class TextTools;
class CaptureEntry;
class TNewNodeImpl;

struct MainFormOptions {
    QString programFolder;             // with trailing "/"; default: the executable's folder
    QString tempFolder;                // default: the private temporary folder
    QString captureString;             // first command-line argument, if any
    std::unique_ptr<WebView> webView;  // default: the Qt WebEngine view
    Prompter* prompter = nullptr;      // default: message boxes
    Clock* clock = nullptr;            // default: the system clock
};

class TForm_Main : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm_Main(MainFormOptions options = {}, QWidget* parent = nullptr);
    ~TForm_Main() override;

    MainState& state() { return m_state; }

    // Web view or text editor on display.
    void viewSwitch(bool showWeb);

    // Offers the automation service (Brambook.NewNode) on the session bus.
    // False when there is no session bus or the name is taken.
    bool claimAutomationService();

public slots:
    // Tool bar.
    void ToolButton_AddClick();
    void ToolButton_ExportClick();
    void ToolButton_SearchClick();
    void ToolButton_FontClick();
    void ToolButton_PrintClick();
    void ToolButton_ExitClick();
    void ToolButton_SetClick();
    // Adding.
    void MenuItem_AddSubClick();
    void MenuItem_AddSibAbvClick();
    void MenuItem_AddSibBlwClick();
    // Export.
    void PopupMenu_ExportPopup();
    void MenuItem_ExpthisClick();
    void MenuItem_ExpSubClick();
    // Search.
    void MenuItem_FindAllClick();
    void MenuItem_FindThisClick();
    void MenuItem_FindDocClick();
    // Text tools and zoom.
    void MenuItem_StyleClick();
    void MenuItem_WrapClick();
    void MenuItem_AutoSaveClick();
    void MenuItem_ZoomInClick();
    void MenuItem_ZoomOutClick();
    // Deleting and moving.
    void MenuItem_DelClick();
    void MenuItem_MoveSubClick();
    void MenuItem_MoveAbvClick();
    void MenuItem_MoveBlwClick();
    // Tree.
    void TreeView_MainEditing(QTreeWidgetItem* item);
    void TreeView_MainEdited(QTreeWidgetItem* item, QString& text);
    // Result list.
    void ListViewColumnClick(int column);
    void ListViewDblClick();
    void SpeedButton1Click();
    // Web view.
    void CppWebBrowserProgressChange(int progress, int maximum);
    void CppWebBrowserDocumentComplete(const QString& address, bool ok);
    // Find dialog.
    void FindDialog1Find();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildControls();
    QToolButton* addToolButton(const char* name, const QString& hint, int icon, QMenu* menu);
    QMenu* makeMenu(const char* name);
    QAction* addItem(QMenu* menu, const char* name, const QString& caption, void (TForm_Main::*slot)());
    void placeGauge();
    void FormClose();
    void handOverCapture(const QString& captureString);
    // The three add commands: autosave check, New Item dialog, add operation.
    void addCommand(int placement);
    // The add operation, with the directory import for code 11.
    void addOperation(QTreeWidgetItem* reference, int placement, int code, bool autosaveMade = false);

    // Tree events the tree widget reports (mouse, keys, drag).
    void TreeView_MainMouseDown(Qt::MouseButton button, const QPoint& point);
    void TreeView_MainKeyDown(QKeyEvent* event);
    void TreeView_MainEndDrag(const QPoint& point);
    void Memo_64kKeyPress(QKeyEvent* event);

    MainState m_state;
    std::unique_ptr<Dataset> m_pQ;
    std::unique_ptr<WebView> m_web;
    std::unique_ptr<Prompter> m_ownPrompter;
    std::unique_ptr<Clock> m_ownClock;
    bool m_closing = false;
    std::unique_ptr<SearchPanel> m_search;
    std::unique_ptr<TextTools> m_textTools;
    std::unique_ptr<CaptureEntry> m_capture;
    std::unique_ptr<TNewNodeImpl> m_newNode;

public:
    // Controls, named as in the rest of the program (objectName is the same).
    QToolButton* ToolButton_Add = nullptr;
    QToolButton* ToolButton_Export = nullptr;
    QToolButton* ToolButton_Delete = nullptr;
    QToolButton* ToolButton_Search = nullptr;
    QToolButton* ToolButton_Font = nullptr;
    QToolButton* ToolButton_Print = nullptr;
    QToolButton* ToolButton3 = nullptr;
    QToolButton* ToolButton_Set = nullptr;
    QMenu* PopupMenu_Add = nullptr;
    QMenu* PopupMenu_Export = nullptr;
    QMenu* PopupMenu_Search = nullptr;
    QMenu* PopupMenu_FontTxt = nullptr;
    QMenu* PopupMenu_Font = nullptr;
    QMenu* PopupMenu_TreeView = nullptr;
    QMenu* PopupMenu_AddItem = nullptr;
    QMenu* PopupMenu_Drag = nullptr;
    QFrame* StatusBar_Main = nullptr;
    QProgressBar* CGauge1 = nullptr;
    QWidget* Panel_Back = nullptr;
    QTreeWidget* TreeView_Main = nullptr;
    QStackedWidget* Panel2 = nullptr;
    QPlainTextEdit* Memo = nullptr;
    QPlainTextEdit* Memo_64k = nullptr;
    QWidget* CppWebBrowser = nullptr;
    QWidget* Panel_Bottom = nullptr;
    QWidget* Panel1 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QTreeWidget* ListView = nullptr;
    QSplitter* Splitter_Bottom = nullptr;
    TForm_Search* Form_Search = nullptr;   // made with the window, kept for the whole run
};

} // namespace tallowmere
