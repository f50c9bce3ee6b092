#pragma once
// The Search dialog: criteria on title, body text, created and modified time,
// size and type, over the whole tree or one branch. Pressing Search builds the
// search statement; running it is the result list's job.

#include <QDate>
#include <QDialog>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tallowmere {

// Search scopes: the whole tree, or the selected node's branch.
inline constexpr int kScopeTree = 0;
inline constexpr int kScopeBranch = 1;

// The ids of node and of its whole subtree, in tree order (node first, then
// depth first, children in displayed order).
QStringList branchIds(QTreeWidgetItem* node);

class TForm_Search : public QDialog {
    Q_OBJECT
public:
    // today: the local date at start-up; tree: the catalog tree a branch
    // search reads its selected node from.
    TForm_Search(QTreeWidget* tree, QDate today, QWidget* parent = nullptr);

    // Set by the main window before it opens the dialog; only read here.
    int searchScope = kScopeTree;

    // The statement built by the last Search (or Enter); kept across Cancel.
    QString searchStatement() const { return m_statement; }

    // Builds the statement from the controls, and grows the histories.
    void buildStatement();

    QCheckBox* CheckBox_Title = nullptr;
    QComboBox* ComboBox_Title = nullptr;
    QCheckBox* CheckBox_Body = nullptr;
    QComboBox* ComboBox_Body = nullptr;
    QCheckBox* CheckBox_CrtDateTime = nullptr;
    QLabel* Label1 = nullptr;
    QDateEdit* DTP_CrtDateBegin = nullptr;
    QLabel* Label2 = nullptr;
    QDateEdit* DTP_CrtDateEnd = nullptr;
    QCheckBox* CheckBox_MdfDateTime = nullptr;
    QLabel* Label6 = nullptr;
    QDateEdit* DTP_MdfDateBegin = nullptr;
    QLabel* Label7 = nullptr;
    QDateEdit* DTP_MdfDateEnd = nullptr;
    QCheckBox* CheckBox_Size = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Edit_BeginKb = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* Edit_EndKb = nullptr;
    QLabel* Label5 = nullptr;
    QCheckBox* CheckBox_Type = nullptr;
    QCheckBox* CheckBox_Htm = nullptr;
    QCheckBox* CheckBox_Mht = nullptr;
    QCheckBox* CheckBox_Txt = nullptr;
    QCheckBox* CheckBox_Others = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

public slots:
    void Button1Click();
    void CheckBox_TitleClick();
    void CheckBox_BodyClick();
    void CheckBox_CrtDateTimeClick();
    void CheckBox_MdfDateTimeClick();
    void CheckBox_SizeClick();
    void CheckBox_TypeClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTreeWidget* m_tree;
    QString m_statement;
};

} // namespace tallowmere
