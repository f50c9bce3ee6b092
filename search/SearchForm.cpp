#include "SearchForm.h"

#include "catalog/NodeData.h"
#include "store/Archive.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace tallowmere {

namespace {

// The time of day each kind of picker stands for.
QString fromValue(const QDateEdit* picker)
{
    return picker->date().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00");
}

QString toValue(const QDateEdit* picker)
{
    return picker->date().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 23:59:59");
}

// Only digits go into the size bounds: the field may have been filled by a
// paste, which the key filter never sees.
QString digitsOnly(const QString& text)
{
    QString out;
    for (QChar c : text)
        if (c >= u'0' && c <= u'9')
            out += c;
    return out;
}

void grow(QComboBox* box)
{
    const QString text = box->currentText();
    if (!text.trimmed().isEmpty())
        box->addItem(text);
}

} // namespace

QStringList branchIds(QTreeWidgetItem* node)
{
    QStringList ids;
    if (!node)
        return ids;
    // The iterator walks on past the subtree; stop at the first node outside it.
    for (QTreeWidgetItemIterator it(node); *it; ++it) {
        QTreeWidgetItem* item = *it;
        if (item != node) {
            QTreeWidgetItem* up = item->parent();
            while (up && up != node)
                up = up->parent();
            if (!up)
                break;
        }
        if (const TNodeData* data = nodeData(item))
            ids << data->ID;
    }
    return ids;
}

TForm_Search::TForm_Search(QTreeWidget* tree, QDate today, QWidget* parent) : QDialog(parent), m_tree(tree)
{
    setObjectName(QStringLiteral("Form_Search"));
    setWindowTitle(QStringLiteral("Search"));
    setFixedSize(403, 184);  // fixed dialog border

    auto check = [this](const char* name, const QString& caption, int y, void (TForm_Search::*slot)()) {
        auto* box = new QCheckBox(caption, this);
        box->setObjectName(QLatin1String(name));
        box->setGeometry(8, y, 112, 21);
        connect(box, &QCheckBox::clicked, this, slot);
        return box;
    };
    auto label = [this](const char* name, const QString& caption, int x, int y, int w) {
        auto* l = new QLabel(caption, this);
        l->setObjectName(QLatin1String(name));
        l->setGeometry(x, y, w, 21);
        return l;
    };
    auto combo = [this](const char* name, int y) {
        auto* c = new QComboBox(this);
        c->setObjectName(QLatin1String(name));
        c->setEditable(true);
        c->setInsertPolicy(QComboBox::NoInsert);  // the histories grow only on Search
        c->setGeometry(124, y, 271, 21);
        return c;
    };
    auto picker = [this](const char* name, int x, int y, QDate date) {
        auto* p = new QDateEdit(date, this);
        p->setObjectName(QLatin1String(name));
        p->setCalendarPopup(true);
        // The short date format, but with the whole year: a two-digit year
        // typed in would be read as one of the 1900s.
        QString format = QLocale().dateFormat(QLocale::ShortFormat);
        if (!format.contains(QLatin1String("yyyy")))
            format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
        p->setDisplayFormat(format);
        p->setGeometry(x, y, 112, 21);
        return p;
    };
    auto extension = [this](const char* name, const QString& caption, int x, bool checked) {
        auto* box = new QCheckBox(caption, this);
        box->setObjectName(QLatin1String(name));
        box->setGeometry(x, 128, 66, 21);
        box->setChecked(checked);
        return box;
    };

    const QDate weekAgo = today.addDays(-7);
    CheckBox_Title = check("CheckBox_Title", QStringLiteral("Title :"), 8, &TForm_Search::CheckBox_TitleClick);
    ComboBox_Title = combo("ComboBox_Title", 8);
    CheckBox_Body = check("CheckBox_Body", QStringLiteral("Body :"), 32, &TForm_Search::CheckBox_BodyClick);
    ComboBox_Body = combo("ComboBox_Body", 32);
    CheckBox_CrtDateTime = check("CheckBox_CrtDateTime", QStringLiteral("Created time :"), 56,
                                 &TForm_Search::CheckBox_CrtDateTimeClick);
    Label1 = label("Label1", QStringLiteral("from"), 124, 56, 28);
    DTP_CrtDateBegin = picker("DTP_CrtDateBegin", 154, 56, weekAgo);
    Label2 = label("Label2", QStringLiteral("to"), 268, 56, 14);
    DTP_CrtDateEnd = picker("DTP_CrtDateEnd", 283, 56, today);
    CheckBox_MdfDateTime = check("CheckBox_MdfDateTime", QStringLiteral("Modified time :"), 80,
                                 &TForm_Search::CheckBox_MdfDateTimeClick);
    Label6 = label("Label6", QStringLiteral("from"), 124, 80, 28);
    DTP_MdfDateBegin = picker("DTP_MdfDateBegin", 154, 80, weekAgo);
    Label7 = label("Label7", QStringLiteral("to"), 268, 80, 14);
    DTP_MdfDateEnd = picker("DTP_MdfDateEnd", 283, 80, today);
    CheckBox_Size = check("CheckBox_Size", QStringLiteral("Size :"), 104, &TForm_Search::CheckBox_SizeClick);
    Label3 = label("Label3", QStringLiteral("between"), 124, 104, 48);
    Edit_BeginKb = new QLineEdit(QStringLiteral("0"), this);
    Edit_BeginKb->setObjectName(QStringLiteral("Edit_BeginKb"));
    Edit_BeginKb->setGeometry(174, 104, 64, 21);
    Label4 = label("Label4", QStringLiteral("kb  and"), 242, 104, 44);
    Edit_EndKb = new QLineEdit(QStringLiteral("1024"), this);
    Edit_EndKb->setObjectName(QStringLiteral("Edit_EndKb"));
    Edit_EndKb->setGeometry(288, 104, 64, 21);
    Label5 = label("Label5", QStringLiteral("kb"), 356, 104, 20);
    for (QLineEdit* kb : {Edit_BeginKb, Edit_EndKb}) {
        kb->installEventFilter(this);
        // A paste is not typed, so the key filter never sees it.
        kb->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), kb));
    }
    CheckBox_Type = check("CheckBox_Type", QStringLiteral("Type :"), 128, &TForm_Search::CheckBox_TypeClick);
    CheckBox_Htm = extension("CheckBox_Htm", QStringLiteral("*.htm"), 124, true);
    CheckBox_Mht = extension("CheckBox_Mht", QStringLiteral("*.mht "), 192, false);
    CheckBox_Txt = extension("CheckBox_Txt", QStringLiteral("*.txt "), 260, false);
    CheckBox_Others = extension("CheckBox_Others", QStringLiteral("others"), 328, false);

    Button1 = new QPushButton(QStringLiteral("Search"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(232, 154, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TForm_Search::Button1Click);
    Button2 = new QPushButton(QStringLiteral("Cancel"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(316, 154, 75, 25);
    Button2->setAutoDefault(false);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    CheckBox_Title->setChecked(true);
    CheckBox_TitleClick();
    CheckBox_BodyClick();
    CheckBox_CrtDateTimeClick();
    CheckBox_MdfDateTimeClick();
    CheckBox_SizeClick();
    CheckBox_TypeClick();
}

void TForm_Search::CheckBox_TitleClick() { ComboBox_Title->setVisible(CheckBox_Title->isChecked()); }

void TForm_Search::CheckBox_BodyClick() { ComboBox_Body->setVisible(CheckBox_Body->isChecked()); }

void TForm_Search::CheckBox_CrtDateTimeClick()
{
    for (QWidget* w : {static_cast<QWidget*>(Label1), static_cast<QWidget*>(DTP_CrtDateBegin),
                       static_cast<QWidget*>(Label2), static_cast<QWidget*>(DTP_CrtDateEnd)})
        w->setVisible(CheckBox_CrtDateTime->isChecked());
}

void TForm_Search::CheckBox_MdfDateTimeClick()
{
    for (QWidget* w : {static_cast<QWidget*>(Label6), static_cast<QWidget*>(DTP_MdfDateBegin),
                       static_cast<QWidget*>(Label7), static_cast<QWidget*>(DTP_MdfDateEnd)})
        w->setVisible(CheckBox_MdfDateTime->isChecked());
}

void TForm_Search::CheckBox_SizeClick()
{
    for (QWidget* w : {static_cast<QWidget*>(Label3), static_cast<QWidget*>(Edit_BeginKb),
                       static_cast<QWidget*>(Label4), static_cast<QWidget*>(Edit_EndKb),
                       static_cast<QWidget*>(Label5)})
        w->setVisible(CheckBox_Size->isChecked());
}

void TForm_Search::CheckBox_TypeClick()
{
    for (QCheckBox* w : {CheckBox_Htm, CheckBox_Mht, CheckBox_Txt, CheckBox_Others})
        w->setVisible(CheckBox_Type->isChecked());
}

void TForm_Search::Button1Click()
{
    buildStatement();
    accept();
}

void TForm_Search::buildStatement()
{
    QString s = QStringLiteral("select Title,CreateTime,ModifyTime,SizeByte,ExtName,ID,typeid from Paper ");

    if (searchScope == kScopeBranch) {
        s += QStringLiteral(" where id in ('^'");
        for (const QString& id : branchIds(m_tree ? m_tree->currentItem() : nullptr))
            s += u',' + quoted(id);
        s += QStringLiteral(") ");
    } else {
        s += QStringLiteral(" where 1=1 ");
    }

    if (CheckBox_CrtDateTime->isChecked())
        s += QStringLiteral("and CreateTime >= '") + fromValue(DTP_CrtDateBegin) + QStringLiteral("' ")
             + QStringLiteral("and CreateTime <= '") + toValue(DTP_CrtDateEnd) + QStringLiteral("' ");
    if (CheckBox_MdfDateTime->isChecked())
        s += QStringLiteral("and ModifyTime >= '") + fromValue(DTP_MdfDateBegin) + QStringLiteral("' ")
             + QStringLiteral("and ModifyTime <= '") + toValue(DTP_MdfDateEnd) + QStringLiteral("' ");

    if (CheckBox_Type->isChecked()
        && !(CheckBox_Htm->isChecked() && CheckBox_Mht->isChecked() && CheckBox_Txt->isChecked()
             && CheckBox_Others->isChecked())) {
        // Without "others" the list names the extensions wanted, with it those not wanted.
        const bool others = CheckBox_Others->isChecked();
        s += others ? QStringLiteral("and ExtName not in ('&@$9'") : QStringLiteral("and ExtName in('&@$9'");
        if (CheckBox_Htm->isChecked() != others)
            s += QStringLiteral(",'.htm','.html'");
        if (CheckBox_Mht->isChecked() != others)
            s += QStringLiteral(",'.mht'");
        if (CheckBox_Txt->isChecked() != others)
            s += QStringLiteral(",'.txt'");
        s += QStringLiteral(") ");
    }

    if (CheckBox_Size->isChecked()) {
        const QString b = digitsOnly(Edit_BeginKb->text().trimmed());
        const QString e = digitsOnly(Edit_EndKb->text().trimmed());
        // The trailing blank keeps the number apart from the next piece's "and".
        if (!b.isEmpty())
            s += QStringLiteral(" and SizeByte >= ") + b + QStringLiteral("*1024 ");
        if (!e.isEmpty())
            s += QStringLiteral(" and SizeByte <= ") + e + QStringLiteral("*1024 ");
    }

    if (CheckBox_Title->isChecked()) {
        const QString t = ComboBox_Title->currentText();
        s += t.isEmpty() ? QStringLiteral("and Title = '' ")
                         : QStringLiteral("and Title like ") + quoted(u'%' + t + u'%') + u' ';
    }
    if (CheckBox_Body->isChecked()) {
        const QString t = ComboBox_Body->currentText();
        s += t.isEmpty() ? QStringLiteral("and PlainText is null")
                         : QStringLiteral("and plaintext like ") + quoted(u'%' + t + u'%') + u' ';
    }

    grow(ComboBox_Title);
    grow(ComboBox_Body);
    m_statement = s;
}

bool TForm_Search::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == Edit_BeginKb || watched == Edit_EndKb) && event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent*>(event)->text();
        if (!text.isEmpty()) {
            const QChar c = text.at(0);
            if (!((c >= u'0' && c <= u'9') || c == QChar(8)))
                return true;  // dropped
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TForm_Search::keyPressEvent(QKeyEvent* event)
{
    // Enter builds the statement; the dialog closes only through its buttons.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        buildStatement();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace tallowmere
