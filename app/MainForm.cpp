#include "MainForm.h"

#include "AboutBox.h"
#include "capture/CaptureEntry.h"
#include "capture/NewNodeImpl.h"
#include "capture/PageCompletion.h"
#include "capture/ServerSwitches.h"
#include "catalog/AddItem.h"
#include "catalog/CatalogTree.h"
#include "catalog/MoveItems.h"
#include "catalog/NodeData.h"
#include "catalog/RenameDelete.h"
#include "catalog/TreeLoader.h"
#include "common/Prompter.h"
#include "common/TempFolder.h"
#include "content/ShowItem.h"
#include "content/StoreContent.h"
#include "content/TextTools.h"
#include "content/ViewSwitch.h"
#include "content/WebEngineView.h"
#include "search/ResultList.h"
#include "search/SearchForm.h"
#include "store/Archive.h"
#include "store/Clock.h"
#include "store/Compaction.h"
#include "transfer/DirectoryImport.h"
#include "transfer/NewItemFlow.h"
#include "transfer/Export.h"

#include <QApplication>
#include <QFontMetrics>
#include <algorithm>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tallowmere {

namespace {

constexpr int kPanelWidths[4] = {185, 210, 100, 50};
const char* const kPanelTexts[4] = {"Created time : ", "Last modified time : ", "Size :", "Type:"};

// A selection that stays visible while the control has no focus.
void keepSelectionVisible(QWidget* w)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    w->setPalette(pal);
}

// The editor's font must cover Chinese text.
QFont editorFont()
{
    QFont f;
    f.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                   QStringLiteral("DejaVu Sans")});
    f.setPixelSize(13);
    return f;
}

} // namespace

TForm_Main::TForm_Main(MainFormOptions options, QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("TForm_Main"));

    // 1. Controls and fields.
    m_web = options.webView ? std::move(options.webView) : std::make_unique<WebEngineView>();
    if (!options.prompter) {
        m_ownPrompter = std::make_unique<DialogPrompter>();
        options.prompter = m_ownPrompter.get();
    }
    if (!options.clock) {
        m_ownClock = std::make_unique<Clock>();
        options.clock = m_ownClock.get();
    }
    m_pQ = std::make_unique<Dataset>();
    m_state.pQ = m_pQ.get();
    m_state.web = m_web.get();
    m_state.prompter = options.prompter;
    m_state.clock = options.clock;
    m_state.window = this;
    buildControls();
    m_capture = std::make_unique<CaptureEntry>(
        m_state, [this](qint32 code) { addOperation(selectedNode(TreeView_Main), kBelow, code); },
        [this] { completePage(m_state, nodeData(selectedNode(TreeView_Main))); });
    m_newNode = std::make_unique<TNewNodeImpl>([this](const CaptureRequest& request) { m_capture->addNode(request); });

    // 2. The gauge lies over the status bar's second panel, hidden at start.
    placeGauge();
    CGauge1->hide();
    // 3. No result panel at start.
    Splitter_Bottom->setSizes({1, 0});
    // 4. The text editor in front.
    viewSwitch(false);
    // 5. A blank page in the web view.
    m_web->navigate(QStringLiteral("about:blank"));

    // 7. Folders.
    m_state.programFolder = options.programFolder.isEmpty()
        ? QCoreApplication::applicationDirPath() + QLatin1Char('/')
        : options.programFolder;
    m_state.tempFolder = options.tempFolder.isEmpty() ? privateTempFolder() : options.tempFolder;

    // 8. The archive. Without it the program runs on with an empty tree, but
    // says so, so that nobody adds items that would never be stored.
    recoverInterruptedCompaction(m_state.programFolder);
    m_state.archiveOpen = openArchiveDatabase(*m_pQ, m_state.programFolder + QLatin1String(kArchiveFileName));
    if (!m_state.archiveOpen) {
        m_state.statusPanels[0]->setText(QStringLiteral("\"%1\" could not be opened").arg(QLatin1String(kArchiveFileName)));
        return;
    }

    // 9. The whole catalog tree.
    m_state.deepestLevel = loadTree(TreeView_Main, *m_pQ);

    // 10. A capture string on the command line; a server switch is none.
    if (!options.captureString.isEmpty() && !options.captureString.contains(QLatin1String("/Automation"))
        && !isServerSwitch(options.captureString))
        handOverCapture(options.captureString);
}

TForm_Main::~TForm_Main()
{
    // The web view's widget lives in the content panel; drop it from there
    // before its owner goes, so it is deleted once.
    if (CppWebBrowser && m_web && CppWebBrowser == m_web->widget())
        CppWebBrowser->setParent(nullptr);
}

QMenu* TForm_Main::makeMenu(const char* name)
{
    auto* menu = new QMenu(this);
    menu->setObjectName(QLatin1String(name));
    return menu;
}

QAction* TForm_Main::addItem(QMenu* menu, const char* name, const QString& caption, void (TForm_Main::*slot)())
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    connect(action, &QAction::triggered, this, slot);
    return action;
}

QToolButton* TForm_Main::addToolButton(const char* name, const QString& hint, int icon, QMenu* menu)
{
    auto* button = new QToolButton(this);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(hint);
    button->setAutoRaise(true);
    button->setFixedSize(29, 28);
    button->setIconSize(QSize(22, 22));
    button->setIcon(style()->standardIcon(QStyle::StandardPixmap(icon)));
    if (menu) {
        // A click on the face opens the drop-down menu, like a click on the arrow.
        button->setMenu(menu);
        button->setPopupMode(QToolButton::InstantPopup);
        button->setFixedSize(38, 28);
    }
    return button;
}

void TForm_Main::buildControls()
{
    setWindowTitle(QStringLiteral("Marmalon"));
    setGeometry(195, 127, 605, 403);

    // Menus.
    PopupMenu_Add = makeMenu("PopupMenu_Add");
    addItem(PopupMenu_Add, "MenuItem2", QStringLiteral("Add subitem"), &TForm_Main::MenuItem_AddSubClick);
    addItem(PopupMenu_Add, "MenuItem3", QStringLiteral("Add sibling above"), &TForm_Main::MenuItem_AddSibAbvClick);
    addItem(PopupMenu_Add, "MenuItem4", QStringLiteral("Add sibling below"), &TForm_Main::MenuItem_AddSibBlwClick);

    PopupMenu_Export = makeMenu("PopupMenu_Export");
    addItem(PopupMenu_Export, "MenuItem_Expthis", QStringLiteral("Export this item"), &TForm_Main::MenuItem_ExpthisClick);
    addItem(PopupMenu_Export, "MenuItem_ExpSub", QStringLiteral("Export this branch"), &TForm_Main::MenuItem_ExpSubClick);
    connect(PopupMenu_Export, &QMenu::aboutToShow, this, &TForm_Main::PopupMenu_ExportPopup);

    PopupMenu_Search = makeMenu("PopupMenu_Search");
    addItem(PopupMenu_Search, "MenuItem_FindAll", QStringLiteral("Find in the tree"), &TForm_Main::MenuItem_FindAllClick);
    addItem(PopupMenu_Search, "MenuItem_FindThis", QStringLiteral("Find in this branch"), &TForm_Main::MenuItem_FindThisClick);
    m_state.findDocAction =
        addItem(PopupMenu_Search, "MenuItem_FindDoc", QStringLiteral("Find in this document"), &TForm_Main::MenuItem_FindDocClick);

    PopupMenu_FontTxt = makeMenu("PopupMenu_FontTxt");
    addItem(PopupMenu_FontTxt, "MenuItem_Style", QStringLiteral("Font..."), &TForm_Main::MenuItem_StyleClick);
    QAction* wrap = addItem(PopupMenu_FontTxt, "MenuItem_Wrap", QStringLiteral("Word Wrap"), &TForm_Main::MenuItem_WrapClick);
    wrap->setCheckable(true);
    wrap->setChecked(true);
    m_state.autoSaveAction =
        addItem(PopupMenu_FontTxt, "MenuItem_AutoSave", QStringLiteral("Autosave Text"), &TForm_Main::MenuItem_AutoSaveClick);
    m_state.autoSaveAction->setCheckable(true);
    m_state.autoSaveAction->setChecked(true);

    PopupMenu_Font = makeMenu("PopupMenu_Font");
    addItem(PopupMenu_Font, "MenuItem_ZoomIn", QStringLiteral("Font zoom out"), &TForm_Main::MenuItem_ZoomInClick);
    addItem(PopupMenu_Font, "MenuItem_ZoomOut", QStringLiteral("Font zoom in"), &TForm_Main::MenuItem_ZoomOutClick);

    PopupMenu_TreeView = makeMenu("PopupMenu_TreeView");
    addItem(PopupMenu_TreeView, "MenuItem_AddSub", QStringLiteral("Add subitem"), &TForm_Main::MenuItem_AddSubClick);
    addItem(PopupMenu_TreeView, "MenuItem_AddSibBlw", QStringLiteral("Add sibling below"), &TForm_Main::MenuItem_AddSibBlwClick);
    addItem(PopupMenu_TreeView, "MenuItem_AddSibAbv", QStringLiteral("Add sibling above"), &TForm_Main::MenuItem_AddSibAbvClick);
    PopupMenu_TreeView->addSeparator();
    addItem(PopupMenu_TreeView, "MenuItem_ExpItem", QStringLiteral("Export this item"), &TForm_Main::MenuItem_ExpthisClick);
    addItem(PopupMenu_TreeView, "MenuItem_ExpBranch", QStringLiteral("Export this branch"), &TForm_Main::MenuItem_ExpSubClick);
    PopupMenu_TreeView->addSeparator();
    addItem(PopupMenu_TreeView, "MenuItem_FindBranch", QStringLiteral("Find in this branch"), &TForm_Main::MenuItem_FindThisClick);
    PopupMenu_TreeView->addSeparator();
    addItem(PopupMenu_TreeView, "MenuItem_Del", QStringLiteral("Delete branch ..."), &TForm_Main::MenuItem_DelClick);

    PopupMenu_AddItem = makeMenu("PopupMenu_AddItem");
    addItem(PopupMenu_AddItem, "MenuItem_AddItem", QStringLiteral("Add an item"), &TForm_Main::MenuItem_AddSubClick);

    PopupMenu_Drag = makeMenu("PopupMenu_Drag");
    addItem(PopupMenu_Drag, "MenuItem_MoveSub", QStringLiteral("Subitem"), &TForm_Main::MenuItem_MoveSubClick);
    addItem(PopupMenu_Drag, "MenuItem_MoveAbv", QStringLiteral("Above"), &TForm_Main::MenuItem_MoveAbvClick);
    addItem(PopupMenu_Drag, "MenuItem_MoveBlw", QStringLiteral("Below"), &TForm_Main::MenuItem_MoveBlwClick);

    // Tool bar.
    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setFixedHeight(30);
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, bar);
    ToolButton_Add = addToolButton("ToolButton_Add", QStringLiteral("Add a new item"), QStyle::SP_FileDialogNewFolder, PopupMenu_Add);
    ToolButton_Export = addToolButton("ToolButton_Export", QStringLiteral("Export to disk"), QStyle::SP_DialogSaveButton, PopupMenu_Export);
    ToolButton_Delete = addToolButton("ToolButton_Delete", QStringLiteral("Delete the branch"), QStyle::SP_TrashIcon, nullptr);
    ToolButton_Search = addToolButton("ToolButton_Search", QStringLiteral("Search"), QStyle::SP_FileDialogContentsView, PopupMenu_Search);
    ToolButton_Font = addToolButton("ToolButton_Font", QStringLiteral("Set the font style"), QStyle::SP_FileDialogDetailedView, PopupMenu_FontTxt);
    ToolButton_Print = addToolButton("ToolButton_Print", QStringLiteral("Print..."), QStyle::SP_DriveFDIcon, nullptr);
    ToolButton_Print->setIcon(printerIcon());
    ToolButton3 = addToolButton("ToolButton3", QStringLiteral("Exit..."), QStyle::SP_DialogCloseButton, nullptr);
    ToolButton_Set = addToolButton("ToolButton_Set", QStringLiteral("About..."), QStyle::SP_MessageBoxInformation, nullptr);
    for (QToolButton* b : {ToolButton_Add, ToolButton_Export, ToolButton_Delete, ToolButton_Search, ToolButton_Font,
                           ToolButton_Print, ToolButton3, ToolButton_Set})
        bar->addWidget(b);
    connect(ToolButton_Delete, &QToolButton::clicked, this, &TForm_Main::MenuItem_DelClick);
    connect(ToolButton_Print, &QToolButton::clicked, this, &TForm_Main::ToolButton_PrintClick);
    connect(ToolButton3, &QToolButton::clicked, this, &TForm_Main::ToolButton_ExitClick);
    connect(ToolButton_Set, &QToolButton::clicked, this, &TForm_Main::ToolButton_SetClick);
    connect(ToolButton_Add, &QToolButton::pressed, this, &TForm_Main::ToolButton_AddClick);
    connect(ToolButton_Export, &QToolButton::pressed, this, &TForm_Main::ToolButton_ExportClick);
    connect(ToolButton_Search, &QToolButton::pressed, this, &TForm_Main::ToolButton_SearchClick);
    connect(ToolButton_Font, &QToolButton::pressed, this, &TForm_Main::ToolButton_FontClick);
    m_state.fontButton = ToolButton_Font;
    m_state.fontTxtMenu = PopupMenu_FontTxt;
    m_state.fontMenu = PopupMenu_Font;

    // Status bar: four panels, the gauge over the second.
    StatusBar_Main = new QFrame(this);
    StatusBar_Main->setObjectName(QStringLiteral("StatusBar_Main"));
    StatusBar_Main->setFixedHeight(19);
    auto* statusLayout = new QHBoxLayout(StatusBar_Main);
    statusLayout->setContentsMargins(0, 0, 0, 0);
    statusLayout->setSpacing(0);
    QFont statusFont = StatusBar_Main->font();
    statusFont.setPixelSize(11);
    StatusBar_Main->setFont(statusFont);
    // The panel widths fit a full timestamp in a narrow 11-pixel font; a wider
    // font widens them in proportion, so "Created time : ..." is never cut.
    const QFontMetrics metrics(statusFont);
    const double scale = std::max(1.0, (metrics.horizontalAdvance(QStringLiteral("Created time : 0000-00-00 00:00:00")) + 8)
                                           / double(kPanelWidths[0]));
    for (int i = 0; i < 4; ++i) {
        auto* panel = new QLabel(QLatin1String(kPanelTexts[i]), StatusBar_Main);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i + 1));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setIndent(2);
        if (i < 3)
            panel->setFixedWidth(qRound(kPanelWidths[i] * scale));
        else
            panel->setMinimumWidth(qRound(kPanelWidths[i] * scale));
        statusLayout->addWidget(panel, i == 3 ? 1 : 0);
        m_state.statusPanels[i] = panel;
    }
    CGauge1 = new QProgressBar(StatusBar_Main);
    CGauge1->setObjectName(QStringLiteral("CGauge1"));
    CGauge1->setRange(0, 100);
    CGauge1->setValue(0);
    CGauge1->setTextVisible(true);
    CGauge1->setAlignment(Qt::AlignCenter);
    CGauge1->setStyleSheet(QStringLiteral(
        "QProgressBar { border: 1px solid black; background: white; color: black; }"
        "QProgressBar::chunk { background: black; }"));
    m_state.gauge = CGauge1;

    // Client area: tree | content, result panel along the bottom.
    Panel_Back = new QWidget(this);
    Panel_Back->setObjectName(QStringLiteral("Panel_Back"));
    auto* backLayout = new QVBoxLayout(Panel_Back);
    backLayout->setContentsMargins(0, 0, 0, 0);
    backLayout->setSpacing(0);

    Splitter_Bottom = new QSplitter(Qt::Vertical, Panel_Back);
    Splitter_Bottom->setObjectName(QStringLiteral("Splitter_Bottom"));
    Splitter_Bottom->setHandleWidth(2);
    Splitter_Bottom->setChildrenCollapsible(true);
    auto* splitterTree = new QSplitter(Qt::Horizontal, Splitter_Bottom);
    splitterTree->setObjectName(QStringLiteral("Splitter_Tree"));
    splitterTree->setHandleWidth(3);

    auto* catalogTree = new CatalogTree(splitterTree);
    TreeView_Main = catalogTree;
    TreeView_Main->setObjectName(QStringLiteral("TreeView_Main"));
    TreeView_Main->setHeaderHidden(true);
    TreeView_Main->setColumnCount(1);
    TreeView_Main->setIndentation(19);
    TreeView_Main->setIconSize(QSize(16, 16));
    TreeView_Main->setUniformRowHeights(true);
    TreeView_Main->setSelectionMode(QAbstractItemView::SingleSelection);
    // Labels are edited in place on a second, slow click on the selected node.
    TreeView_Main->setEditTriggers(QAbstractItemView::SelectedClicked);
    // A press and a movement drag a node; the drop only opens the drag menu.
    TreeView_Main->setDragEnabled(true);
    TreeView_Main->setDragDropMode(QAbstractItemView::DragDrop);
    TreeView_Main->setDefaultDropAction(Qt::MoveAction);
    // Both menus of the tree are opened by the mouse handler.
    TreeView_Main->setContextMenuPolicy(Qt::PreventContextMenu);
    keepSelectionVisible(TreeView_Main);
    TreeView_Main->installEventFilter(this);
    catalogTree->setRenameHandlers([this](QTreeWidgetItem* item) { TreeView_MainEditing(item); },
                                   [this](QTreeWidgetItem* item, QString& text) { TreeView_MainEdited(item, text); });
    connect(catalogTree, &CatalogTree::endDrag, this, &TForm_Main::TreeView_MainEndDrag);
    connect(catalogTree, &CatalogTree::mousePressed, this, &TForm_Main::TreeView_MainMouseDown);
    connect(catalogTree, &CatalogTree::editorKeyPress, this, &TForm_Main::TreeView_MainKeyDown);
    m_state.tree = TreeView_Main;

    Panel2 = new QStackedWidget(splitterTree);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    CppWebBrowser = m_web->widget();
    if (!CppWebBrowser)
        CppWebBrowser = new QWidget(Panel2);  // a view without a widget (tests) still has its place
    CppWebBrowser->setObjectName(QStringLiteral("CppWebBrowser"));
    Memo_64k = new QPlainTextEdit(Panel2);
    Memo_64k->setObjectName(QStringLiteral("Memo_64k"));
    Memo = new QPlainTextEdit(Panel2);
    Memo->setObjectName(QStringLiteral("Memo"));
    for (QPlainTextEdit* editor : {Memo, Memo_64k}) {
        editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        editor->setFont(editorFont());
        keepSelectionVisible(editor);
        editor->installEventFilter(this);
    }
    Memo_64k->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Panel2->addWidget(CppWebBrowser);
    Panel2->addWidget(Memo_64k);
    Panel2->addWidget(Memo);
    m_state.memo = Memo;
    m_state.memo64k = Memo_64k;
    m_state.contentStack = Panel2;
    splitterTree->addWidget(TreeView_Main);
    splitterTree->addWidget(Panel2);
    splitterTree->setStretchFactor(1, 1);
    splitterTree->setSizes({209, 393});

    Panel_Bottom = new QWidget(Splitter_Bottom);
    Panel_Bottom->setObjectName(QStringLiteral("Panel_Bottom"));
    auto* bottomLayout = new QHBoxLayout(Panel_Bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    bottomLayout->setSpacing(0);
    Panel1 = new QWidget(Panel_Bottom);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedWidth(16);
    auto* stripLayout = new QVBoxLayout(Panel1);
    stripLayout->setContentsMargins(0, 0, 0, 0);
    SpeedButton1 = new QToolButton(Panel1);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setFixedSize(16, 16);
    SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    stripLayout->addWidget(SpeedButton1);
    stripLayout->addStretch();
    connect(SpeedButton1, &QToolButton::clicked, this, &TForm_Main::SpeedButton1Click);
    ListView = new QTreeWidget(Panel_Bottom);
    ListView->setObjectName(QStringLiteral("ListView"));
    ListView->setRootIsDecorated(false);
    ListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView->setToolTip(QStringLiteral("Double click to show content"));
    ListView->setHeaderLabels({QStringLiteral("Title"), QStringLiteral("Created time"), QStringLiteral("Last modified time"),
                               QStringLiteral("Size (Byte)"), QStringLiteral("Type")});
    const int listWidths[4] = {200, 120, 120, 80};
    for (int i = 0; i < 4; ++i)
        ListView->setColumnWidth(i, listWidths[i]);
    keepSelectionVisible(ListView);
    connect(ListView->header(), &QHeaderView::sectionClicked, this, &TForm_Main::ListViewColumnClick);
    connect(ListView, &QTreeWidget::itemDoubleClicked, this, [this] { ListViewDblClick(); });
    bottomLayout->addWidget(Panel1);
    bottomLayout->addWidget(ListView, 1);
    Splitter_Bottom->addWidget(splitterTree);
    Splitter_Bottom->addWidget(Panel_Bottom);
    Splitter_Bottom->setStretchFactor(0, 1);

    backLayout->addWidget(Splitter_Bottom, 1);
    backLayout->addWidget(StatusBar_Main);
    setCentralWidget(Panel_Back);

    // Web view events.
    connect(m_web.get(), &WebView::progressChange, this, &TForm_Main::CppWebBrowserProgressChange);
    connect(m_web.get(), &WebView::documentComplete, this, &TForm_Main::CppWebBrowserDocumentComplete);

    // The Search dialog keeps its settings and histories for the whole run.
    Form_Search = new TForm_Search(TreeView_Main, m_state.clock->now().date(), this);
    m_search = std::make_unique<SearchPanel>(m_state, *Form_Search, ListView, Splitter_Bottom);

    // Font, wrap, find, zoom and print; the find dialog lives as long as the window.
    m_textTools = std::make_unique<TextTools>(m_state, wrap);
    connect(m_textTools->findDialog(), &TFindDialog::find, this, &TForm_Main::FindDialog1Find);
}

void TForm_Main::placeGauge()
{
    QLabel* second = m_state.statusPanels[1];
    CGauge1->setGeometry(m_state.statusPanels[0]->width() + 1, 2, second->width() - 2, StatusBar_Main->contentsRect().height() - 3);
}

void TForm_Main::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    placeGauge();
}

void TForm_Main::viewSwitch(bool showWeb)
{
    tallowmere::viewSwitch(m_state, showWeb);
}

void TForm_Main::handOverCapture(const QString& captureString)
{
    m_capture->commandLine(captureString);
}

bool TForm_Main::claimAutomationService()
{
    return m_newNode->claim();
}

bool TForm_Main::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == TreeView_Main && event->type() == QEvent::KeyPress)
        TreeView_MainKeyDown(static_cast<QKeyEvent*>(event));
    else if ((watched == Memo || watched == Memo_64k) && event->type() == QEvent::KeyPress)
        Memo_64kKeyPress(static_cast<QKeyEvent*>(event));
    return QMainWindow::eventFilter(watched, event);
}

void TForm_Main::closeEvent(QCloseEvent* event)
{
    if (!m_closing && !m_newNode->approveClose(*m_state.prompter, this, [this] { close(); })) {
        event->ignore();
        return;
    }
    if (!m_closing) {
        m_closing = true;
        FormClose();
    }
    event->accept();
}

void TForm_Main::FormClose()
{
    m_newNode->release();
    autosaveCheck(m_state);
    cleanUpOrphans(*m_pQ);
    if (!m_state.branchDeleted)
        return;
    // No connection may stay open while the file is swapped.
    m_state.pQ = nullptr;
    m_pQ.reset();
    compactArchive(m_state.programFolder);
}

void TForm_Main::MenuItem_AddSubClick() { addCommand(kLastChild); }
void TForm_Main::MenuItem_AddSibAbvClick() { addCommand(kAbove); }
void TForm_Main::MenuItem_AddSibBlwClick() { addCommand(kBelow); }

void TForm_Main::addCommand(int placement)
{
    // Made before the dialog, which may replace the editor's text.
    autosaveCheck(m_state);
    const int code = newItemFlow(m_state);
    addOperation(selectedNode(TreeView_Main), placement, code, true);
}

void TForm_Main::addOperation(QTreeWidgetItem* reference, int placement, int code, bool autosaveMade)
{
    if (tallowmere::addItem(m_state, reference, placement, code, autosaveMade) && code == 11)
        directoryImport(m_state);
}

// Drop-down buttons: the menu opens by itself on a press of the face.
void TForm_Main::ToolButton_AddClick() {}
void TForm_Main::ToolButton_ExportClick() {}
void TForm_Main::ToolButton_SearchClick() {}
void TForm_Main::ToolButton_FontClick() {}

void TForm_Main::ToolButton_ExitClick()
{
    if (m_state.prompter->confirm(this, QStringLiteral("Sure to quit?")))
        close();
}

void TForm_Main::ToolButton_SetClick()
{
    TForm_ImportD about(this);
    about.exec();
}

void TForm_Main::PopupMenu_ExportPopup()
{
    const bool selected = selectedNode(TreeView_Main) != nullptr;
    for (QAction* a : PopupMenu_Export->actions())
        a->setEnabled(selected);
}

// Operations that their own subsystems fill in.
void TForm_Main::ToolButton_PrintClick() { m_textTools->print(); }
void TForm_Main::MenuItem_ExpthisClick() { exportItem(m_state, selectedNode(TreeView_Main)); }
void TForm_Main::MenuItem_ExpSubClick() { exportBranch(m_state, selectedNode(TreeView_Main)); }
void TForm_Main::MenuItem_FindAllClick() { m_search->runSearch(kScopeTree); }
void TForm_Main::MenuItem_FindThisClick() { m_search->runSearch(kScopeBranch); }
void TForm_Main::MenuItem_FindDocClick() { m_textTools->findInDocument(); }
void TForm_Main::MenuItem_StyleClick() { m_textTools->chooseFont(); }
void TForm_Main::MenuItem_WrapClick() { m_textTools->applyWordWrap(); }
// The entry flips its own tick when chosen; the autosave check reads the tick.
void TForm_Main::MenuItem_AutoSaveClick() {}
void TForm_Main::MenuItem_ZoomInClick() { m_textTools->zoomStep(-1); }
void TForm_Main::MenuItem_ZoomOutClick() { m_textTools->zoomStep(+1); }
void TForm_Main::MenuItem_DelClick() { deleteCommand(m_state); }
void TForm_Main::MenuItem_MoveSubClick()
{
    moveNode(m_state, selectedNode(TreeView_Main), static_cast<CatalogTree*>(TreeView_Main)->moveTarget(), kLastChild);
}
void TForm_Main::MenuItem_MoveAbvClick()
{
    moveNode(m_state, selectedNode(TreeView_Main), static_cast<CatalogTree*>(TreeView_Main)->moveTarget(), kAbove);
}
void TForm_Main::MenuItem_MoveBlwClick()
{
    moveNode(m_state, selectedNode(TreeView_Main), static_cast<CatalogTree*>(TreeView_Main)->moveTarget(), kBelow);
}
void TForm_Main::TreeView_MainEditing(QTreeWidgetItem*) { beginRename(*static_cast<CatalogTree*>(TreeView_Main)); }
void TForm_Main::TreeView_MainEdited(QTreeWidgetItem* item, QString& text)
{
    text = finishRename(m_state, *static_cast<CatalogTree*>(TreeView_Main), item, text);
}
void TForm_Main::TreeView_MainMouseDown(Qt::MouseButton button, const QPoint& point)
{
    const TreeMenus menus{PopupMenu_TreeView, PopupMenu_AddItem, PopupMenu_Drag, Panel_Back};
    if (const TNodeData* rec = nodeData(treeMouseDown(m_state, menus, button, point)))
        showItem(m_state, rec->ID, rec->typeid_);
}
void TForm_Main::TreeView_MainEndDrag(const QPoint& point)
{
    const TreeMenus menus{PopupMenu_TreeView, PopupMenu_AddItem, PopupMenu_Drag, Panel_Back};
    treeEndDrag(m_state, *static_cast<CatalogTree*>(TreeView_Main), menus, point);
}
void TForm_Main::TreeView_MainKeyDown(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (const TNodeData* rec = nodeData(TreeView_Main->currentItem()))
            showItem(m_state, rec->ID, rec->typeid_);
    } else if (key == Qt::Key_Delete) {
        // While a label is edited, Delete only edits its text.
        if (!static_cast<CatalogTree*>(TreeView_Main)->labelEditing())
            MenuItem_DelClick();
    }
}
void TForm_Main::Memo_64kKeyPress(QKeyEvent* event) { m_textTools->keyTyped(*event); }
void TForm_Main::ListViewColumnClick(int column) { m_search->sortBy(column); }
void TForm_Main::ListViewDblClick()
{
    ResultLine line;
    if (!m_search->openSelected(line))
        return;
    showItem(m_state, line.id, line.typeId);
}
void TForm_Main::SpeedButton1Click() { m_search->closePanel(); }
void TForm_Main::CppWebBrowserProgressChange(int progress, int maximum)
{
    progressDisplay(CGauge1, progress, maximum);
}
void TForm_Main::CppWebBrowserDocumentComplete(const QString&, bool)
{
    m_capture->documentComplete();
}
void TForm_Main::FindDialog1Find() { m_textTools->findNext(); }

} // namespace tallowmere
