#include "content/TextTools.h"

#include "common/MainState.h"
#include "common/Prompter.h"
#include "content/WebView.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPicture>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTextCursor>
#include <QVBoxLayout>

namespace tallowmere {

namespace {

constexpr char16_t kCtrlF = 6;

// Where the editor's image lies on the printed page, in printer dots.
constexpr int kPrintMargin = 10;

} // namespace

TFindDialog::TFindDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FindDialog1"));
    setWindowTitle(QStringLiteral("Find"));
    setModal(false);

    auto* label = new QLabel(QStringLiteral("Fi&nd what:"), this);
    Edit_FindText = new QLineEdit(this);
    Edit_FindText->setObjectName(QStringLiteral("Edit_FindText"));
    label->setBuddy(Edit_FindText);
    CheckBox_WholeWord = new QCheckBox(QStringLiteral("Match &whole word only"), this);
    CheckBox_WholeWord->setObjectName(QStringLiteral("CheckBox_WholeWord"));
    CheckBox_MatchCase = new QCheckBox(QStringLiteral("Match &case"), this);
    CheckBox_MatchCase->setObjectName(QStringLiteral("CheckBox_MatchCase"));
    auto* direction = new QGroupBox(QStringLiteral("Direction"), this);
    RadioButton_Up = new QRadioButton(QStringLiteral("&Up"), direction);
    RadioButton_Up->setObjectName(QStringLiteral("RadioButton_Up"));
    RadioButton_Down = new QRadioButton(QStringLiteral("&Down"), direction);
    RadioButton_Down->setObjectName(QStringLiteral("RadioButton_Down"));
    RadioButton_Down->setChecked(true);
    auto* directionLayout = new QHBoxLayout(direction);
    directionLayout->addWidget(RadioButton_Up);
    directionLayout->addWidget(RadioButton_Down);
    Button_FindNext = new QPushButton(QStringLiteral("&Find Next"), this);
    Button_FindNext->setObjectName(QStringLiteral("Button_FindNext"));
    Button_FindNext->setDefault(true);
    Button_FindNext->setEnabled(false);
    Button_Cancel = new QPushButton(QStringLiteral("Cancel"), this);
    Button_Cancel->setObjectName(QStringLiteral("Button_Cancel"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(Edit_FindText, 0, 1, 1, 2);
    grid->addWidget(Button_FindNext, 0, 3);
    grid->addWidget(CheckBox_WholeWord, 1, 0, 1, 2);
    grid->addWidget(Button_Cancel, 1, 3);
    grid->addWidget(CheckBox_MatchCase, 2, 0, 1, 2);
    grid->addWidget(direction, 1, 2, 2, 1);

    // Nothing to look for, nothing to press.
    connect(Edit_FindText, &QLineEdit::textChanged, this,
            [this](const QString& text) { Button_FindNext->setEnabled(!text.isEmpty()); });
    connect(Button_FindNext, &QPushButton::clicked, this, &TFindDialog::find);
    connect(Button_Cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TFindDialog::findText() const
{
    return Edit_FindText->text();
}

TextTools::TextTools(MainState& state, QAction* wrapAction)
    : m_state(state), m_wrapAction(wrapAction), m_findDialog(new TFindDialog(state.window))
{
    // The dialog first offers the editor's typeface at the window's small size.
    m_dialogFont = state.memo ? state.memo->font() : QFont();
    m_dialogFont.setPointSize(8);
}

TextTools::~TextTools()
{
    delete m_findDialog;
}

void TextTools::chooseFont()
{
    if (!m_state.prompter || !m_state.memo)
        return;
    QFont font = m_dialogFont;
    if (!m_state.prompter->chooseFont(m_state.window, font))
        return;
    m_dialogFont = font;
    m_state.memo->setFont(font);
}

void TextTools::applyWordWrap()
{
    if (!m_state.memo || !m_wrapAction)
        return;
    m_state.memo->setLineWrapMode(m_wrapAction->isChecked() ? QPlainTextEdit::WidgetWidth
                                                            : QPlainTextEdit::NoWrap);
}

void TextTools::zoomStep(int step)
{
    WebView* web = m_state.web;
    if (!web || !web->hasDocument())
        return;
    // The view refuses a level beyond its smallest or largest.
    web->setZoomLevel(web->zoomLevel() + step);
}

void TextTools::print()
{
    if (m_state.webFlag) {
        if (m_state.web && m_state.web->hasDocument())
            m_state.web->print();
        return;
    }
    if (!m_state.memo || !m_state.prompter)
        return;
    // At screen resolution one pixel of the editor is one dot of the printer.
    QPrinter printer(QPrinter::ScreenResolution);
    if (!m_state.prompter->choosePrinter(m_state.window, printer))
        return;
    QPainter painter;
    if (!painter.begin(&printer)) {
        m_state.prompter->error(m_state.window, QStringLiteral("The printer could not be started."));
        return;
    }
    // Rendered straight onto a printer, a widget becomes a bitmap; recorded
    // first, the editor's own drawing reaches the page as text.
    QPicture image;
    m_state.memo->viewport()->render(&image);
    painter.drawPicture(kPrintMargin, kPrintMargin, image);
    painter.end();
}

void TextTools::findInDocument()
{
    if (!m_state.webFlag)
        showFindDialog();
}

void TextTools::keyTyped(const QKeyEvent& event)
{
    const bool ctrlF = event.text() == QString(QChar(kCtrlF))
        || (event.key() == Qt::Key_F && event.modifiers() == Qt::ControlModifier);
    if (ctrlF)
        showFindDialog();
}

void TextTools::showFindDialog()
{
    m_findDialog->show();
    m_findDialog->raise();
    m_findDialog->activateWindow();
}

void TextTools::findNext()
{
    QPlainTextEdit* memo = m_state.memo;
    if (m_state.webFlag || !memo)
        return;
    const QString what = m_findDialog->findText();
    if (what.isEmpty())
        return;
    QTextCursor cursor = memo->textCursor();
    const int start = cursor.hasSelection() ? cursor.selectionEnd() : 0;
    // The editor's positions and its plain text count characters alike.
    const int at = memo->toPlainText().indexOf(what, start, Qt::CaseSensitive);
    if (at < 0)
        return;
    memo->setFocus();
    cursor.setPosition(at);
    cursor.setPosition(at + int(what.size()), QTextCursor::KeepAnchor);
    memo->setTextCursor(cursor);
}

} // namespace tallowmere
