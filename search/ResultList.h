#pragma once
// The main window's side of searching: opening the Search dialog, filling the
// result list from the search statement, sorting it by a column and opening
// a line.

#include <QString>

class QSplitter;
class QTreeWidget;

namespace tallowmere {

struct MainState;
class TForm_Search;

// Columns of a result line; the last two are kept but not shown.
enum ResultColumn { ColTitle, ColCreateTime, ColModifyTime, ColSize, ColExt, ColId, ColTypeId, kResultColumns };

inline constexpr int kBottomPanelHeight = 70;

// Gives the list its hidden id and type columns.
void prepareResultList(QTreeWidget* list);

// Runs statement on the state's dataset and puts every row into list, in the
// order found, and the count into the status bar. False when the statement
// failed: the list is then empty and the status bar says so.
bool fillResultList(MainState& state, QTreeWidget* list, const QString& statement);

// Sorts the lines by column, the other way than the sort before (the flag is
// shared by all columns). Equal keys are never exchanged.
void sortResultList(QTreeWidget* list, int column, bool& ascending);

// The line a double click opens: selects its item in the tree (first match in
// tree order; no match leaves the selection alone). False when no line is selected.
struct ResultLine {
    QString id;
    QString typeId;
    QString title;
};
bool selectResultLine(MainState& state, QTreeWidget* list, ResultLine& line);

// What the main window keeps for searching: the dialog, the list, the bottom
// panel's splitter and the one sort direction.
class SearchPanel {
public:
    SearchPanel(MainState& state, TForm_Search& dialog, QTreeWidget* list, QSplitter* splitter);

    // Opens the dialog over scope; on OK runs the statement into the list.
    // False when the dialog was cancelled (nothing changes then).
    bool runSearch(int scope);
    void sortBy(int column) { sortResultList(m_list, column, m_ascending); }
    // Selects the line's item in the tree; the caller shows it.
    bool openSelected(ResultLine& line) { return selectResultLine(m_state, m_list, line); }
    void closePanel();
    void setBottomHeight(int height);

private:
    MainState& m_state;
    TForm_Search& m_dialog;
    QTreeWidget* m_list;
    QSplitter* m_splitter;
    bool m_ascending = true;
};

} // namespace tallowmere
