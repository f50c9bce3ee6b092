#pragma once
// Every message box and dialog goes through a Prompter, so tests can answer them.

#include <QString>

class QWidget;

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
    // A Yes/No warning with its own caption, warning icon, No preselected. True for Yes.
    virtual bool warn(QWidget* parent, const QString& caption, const QString& text) = 0;
};

// The real one: QMessageBox.
class DialogPrompter : public Prompter {
public:
    bool confirm(QWidget* parent, const QString& text) override;
    void error(QWidget* parent, const QString& text) override;
    void refuse(QWidget* parent, const QString& text) override;
    void message(QWidget* parent, const QString& caption, const QString& text) override;
    bool warn(QWidget* parent, const QString& caption, const QString& text) override;
};

} // namespace tallowmere
