#pragma once
// Every message box and dialog goes through a Prompter, so tests can answer them.

#include <QString>

class QWidget;
class QFont;
class QPrinter;

namespace tallowmere {

class Prompter {
public:
    virtual ~Prompter() = default;
    // Yes/No question, caption "Confirm", question icon. True for Yes.
    virtual bool confirm(QWidget* parent, const QString& text) = 0;
    // An input error: caption "Error", error icon.
    virtual void error(QWidget* parent, const QString& text) = 0;
    // A refusal: caption "Error", exclamation icon.
    virtual void refuse(QWidget* parent, const QString& text) = 0;
    // Any other message box with its own caption (e.g. the general error box).
    virtual void message(QWidget* parent, const QString& caption, const QString& text) = 0;

    // The save dialog: proposes proposedName, offers filter (pairs of label and
    // patterns, "Text files|*.txt|All files|*.*"), and gives a name typed
    // without an extension the default extension (".txt"). It does not ask
    // before an existing file is replaced. The chosen path, empty when cancelled.
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& proposedName,
                                 const QString& filter, const QString& defaultExt) = 0;
    // The folder chooser (file-system folders only). The chosen folder, empty when cancelled.
    virtual QString chooseFolder(QWidget* parent, const QString& title) = 0;
    // The font dialog, opening on font. True, with font set to the choice, when confirmed.
    virtual bool chooseFont(QWidget* parent, QFont& font) = 0;
    // The print dialog for printer. True when the user confirms printing.
    virtual bool choosePrinter(QWidget* parent, QPrinter& printer) = 0;
    // A Yes/No warning with its own caption, warning icon, No preselected. True for Yes.
    virtual bool warn(QWidget* parent, const QString& caption, const QString& text) = 0;
};

// The real one: message boxes and the common dialogs.
class DialogPrompter : public Prompter {
public:
    bool confirm(QWidget* parent, const QString& text) override;
    void error(QWidget* parent, const QString& text) override;
    void refuse(QWidget* parent, const QString& text) override;
    void message(QWidget* parent, const QString& caption, const QString& text) override;
    QString saveFileName(QWidget* parent, const QString& caption, const QString& proposedName,
                         const QString& filter, const QString& defaultExt) override;
    QString chooseFolder(QWidget* parent, const QString& title) override;
    bool chooseFont(QWidget* parent, QFont& font) override;
    bool choosePrinter(QWidget* parent, QPrinter& printer) override;
    bool warn(QWidget* parent, const QString& caption, const QString& text) override;
};

// A filter of label and pattern pairs ("pdf files|*.pdf|All files|*.*") in the
// form the file dialog takes ("pdf files (*.pdf);;All files (*)"). Patterns in
// one entry are separated by ";"; "*.*" means every file, also names without a dot.
QString fileDialogFilter(const QString& filter);

} // namespace tallowmere
