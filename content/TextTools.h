#pragma once
// The tools for what the content area shows: for the text editor the font,
// word wrap, the "Autosave Text" setting, finding text and printing; for the
// web view text zoom and printing.

#include <QDialog>
#include <QFont>

class QAction;
class QCheckBox;
class QKeyEvent;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tallowmere {

struct MainState;

// The modeless find dialog. Its options are offered as usual, but find next
// always searches forward and with case mattering.
class TFindDialog : public QDialog {
    Q_OBJECT
public:
    explicit TFindDialog(QWidget* parent = nullptr);

    QString findText() const;

    QLineEdit* Edit_FindText = nullptr;
    QCheckBox* CheckBox_WholeWord = nullptr;
    QCheckBox* CheckBox_MatchCase = nullptr;
    QRadioButton* RadioButton_Up = nullptr;
    QRadioButton* RadioButton_Down = nullptr;
    QPushButton* Button_FindNext = nullptr;
    QPushButton* Button_Cancel = nullptr;

signals:
    // Find Next was pressed.
    void find();
};

class TextTools {
public:
    // wrapAction is the "Word Wrap" entry; its tick is the setting.
    TextTools(MainState& state, QAction* wrapAction);
    ~TextTools();
    TextTools(const TextTools&) = delete;
    TextTools& operator=(const TextTools&) = delete;

    // The font dialog, opening on the font last chosen in it (not the
    // editor's); a confirmed choice becomes the text editor's font.
    void chooseFont();
    // The editor wraps long lines exactly while "Word Wrap" is ticked. The
    // entry flips its own tick when chosen; this applies it.
    void applyWordWrap();
    // One zoom level smaller (-1) or larger (+1); at the smallest or largest
    // level nothing changes. Nothing without a document.
    void zoomStep(int step);
    // The web view prints its page; otherwise, after the print dialog, the
    // text editor's on-screen image goes onto one page, 10 dots in from the
    // printable origin, unscaled.
    void print();
    // "Find in this document": the find dialog, unless the web view is on display.
    void findInDocument();
    // A key typed in either editor: Ctrl+F (character 6) opens the find
    // dialog. The key is not consumed.
    void keyTyped(const QKeyEvent& event);
    // Find Next: the dialog's text, forward from the end of the editor's
    // selection (from the start when nothing is selected), case mattering,
    // no wrap-around. A match is selected; otherwise nothing happens.
    void findNext();

    TFindDialog* findDialog() const { return m_findDialog; }
    QFont dialogFont() const { return m_dialogFont; }

private:
    void showFindDialog();

    MainState& m_state;
    QAction* m_wrapAction;
    QFont m_dialogFont;
    TFindDialog* m_findDialog;
};

} // namespace tallowmere
