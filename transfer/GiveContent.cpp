#include "transfer/GiveContent.h"

#include "common/Prompter.h"
#include "transfer/FileTypeRule.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace tallowmere {

TForm_GiveContent::TForm_GiveContent(Prompter &prompter, QWidget *parent)
    : QDialog(parent), prompter_(prompter) {
  setObjectName(QStringLiteral("Form_GiveContent"));
  setWindowTitle(QStringLiteral("New Item"));

  group_ = new QGroupBox(QStringLiteral("Method"), this);
  RadioGroup1 = new QButtonGroup(this);
  auto *groupLayout = new QVBoxLayout(group_);
  const char *items[] = {"New Text Document", "Create From a File", "Create From a Directory"};
  for (int i = 0; i < 3; ++i) {
    auto *b = new QRadioButton(QString::fromLatin1(items[i]), group_);
    RadioGroup1->addButton(b, i);
    groupLayout->addWidget(b);
  }
  RadioGroup1->button(NewTextDocument)->setChecked(true);

  Edit1 = new QLineEdit(this);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  SpeedButton1 = new QToolButton(this);
  SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
  SpeedButton1->setAutoRaise(true);
  SpeedButton1->setText(QStringLiteral("..."));
  SpeedButton1->setToolTip(QStringLiteral("Browser..."));
  CheckBox1 = new QCheckBox(QStringLiteral("Include all subdirectories"), this);
  CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
  Button_OK = new QPushButton(QStringLiteral("OK"), this);
  Button_OK->setObjectName(QStringLiteral("Button_OK"));
  Button_OK->setDefault(true);
  Button_Cancel = new QPushButton(QStringLiteral("Cancel"), this);
  Button_Cancel->setObjectName(QStringLiteral("Button_Cancel"));

  auto *pathRow = new QHBoxLayout;
  pathRow->addWidget(Edit1);
  pathRow->addWidget(SpeedButton1);
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Button_OK);
  buttons->addWidget(Button_Cancel);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(2);
  layout->addWidget(group_);
  layout->addLayout(pathRow);
  layout->addWidget(CheckBox1);
  layout->addLayout(buttons);

  connect(RadioGroup1, &QButtonGroup::idClicked, this, &TForm_GiveContent::RadioGroup1Click);
  connect(SpeedButton1, &QToolButton::clicked, this, &TForm_GiveContent::SpeedButton1Click);
  connect(Button_OK, &QPushButton::clicked, this, &TForm_GiveContent::Button_OKClick);
  connect(Button_Cancel, &QPushButton::clicked, this, &TForm_GiveContent::Button_CancelClick);
  RadioGroup1Click();
}

TForm_GiveContent::Method TForm_GiveContent::method() const {
  return static_cast<Method>(RadioGroup1->checkedId());
}

void TForm_GiveContent::selectMethod(Method m) {
  RadioGroup1->button(m)->click();
}

void TForm_GiveContent::RadioGroup1Click() {
  // Each method shows only the controls it needs; the path text is kept.
  const Method m = method();
  Edit1->setVisible(m != NewTextDocument);
  SpeedButton1->setVisible(m != NewTextDocument);
  CheckBox1->setVisible(m == FromDirectory);
  const int height = m == NewTextDocument ? 120 : m == FromFile ? 145 : 170;
  // Never smaller than the controls need, so a larger font cuts no text.
  layout()->activate();
  const QSize need = layout()->totalMinimumSize();
  setFixedSize(qMax(320, need.width()), qMax(height, need.height()));
}

void TForm_GiveContent::SpeedButton1Click() {
  QString chosen;
  if (method() == FromFile) {
    chosen = QFileDialog::getOpenFileName(
        this, QString(), QString(),
        QStringLiteral("Supported files(*.htm;*.mht;*.txt) (*.htm *.html *.mht *.txt);;All files(*.*) (*)"));
  } else if (method() == FromDirectory) {
    chosen = QFileDialog::getExistingDirectory(this, QStringLiteral("Select a directory"), QDir::homePath());
  }
  if (!chosen.isEmpty())
    Edit1->setText(QDir::toNativeSeparators(chosen));
}

void TForm_GiveContent::Button_OKClick() {
  const QString path = Edit1->text(); // checked unchanged, blanks included
  switch (method()) {
  case NewTextDocument:
    typeCode_ = 2;
    extension_ = QStringLiteral(".txt");
    size_ = 0;
    break;
  case FromFile: {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || info.isDir()) {
      prompter_.error(this, QStringLiteral("Inexistent file!"));
      return;
    }
    const FileType t = fileTypeOf(path);
    QFile f(path);
    size_ = f.open(QIODevice::ReadOnly) ? f.size() : -1;
    typeCode_ = t.typeCode;
    extension_ = t.extension;
    break;
  }
  case FromDirectory:
    if (path.isEmpty() || !QFileInfo(path).isDir()) {
      prompter_.error(this, QStringLiteral("Inexistent directory!"));
      return;
    }
    typeCode_ = 11;
    extension_ = QStringLiteral(".txt");
    size_ = 0;
    break;
  }
  accept();
}

void TForm_GiveContent::Button_CancelClick() {
  typeCode_ = -1;
  extension_.clear();
  size_ = 0;
  reject();
}

NewItemResult TForm_GiveContent::result() const {
  NewItemResult r;
  r.typeCode = typeCode_;
  r.path = Edit1->text();
  r.extension = extension_;
  r.size = size_;
  r.includeSubdirectories = CheckBox1->isChecked();
  return r;
}

NewItemResult showNewItemDialog(Prompter &prompter, QWidget *parent) {
  TForm_GiveContent dialog(prompter, parent);
  dialog.exec(); // the type code alone tells whether the user cancelled
  return dialog.result();
}

} // namespace tallowmere
