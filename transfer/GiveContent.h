#pragma once

#include <QDialog>
#include <QString>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace tallowmere {

class Prompter;

// What the New Item dialog hands back. A type code of -1 means cancelled,
// however the dialog was closed.
struct NewItemResult {
  int typeCode = -1;
  QString path;
  QString extension;
  qint64 size = 0;
  bool includeSubdirectories = false;
};

// The New Item dialog: choose a new text document, one file, or a directory.
class TForm_GiveContent : public QDialog {
  Q_OBJECT
public:
  enum Method { NewTextDocument = 0, FromFile = 1, FromDirectory = 2 };

  TForm_GiveContent(Prompter &prompter, QWidget *parent = nullptr);

  NewItemResult result() const;

  // The controls, named as the form names them, so tests can drive the dialog.
  QButtonGroup *RadioGroup1 = nullptr;
  QLineEdit *Edit1 = nullptr;
  QToolButton *SpeedButton1 = nullptr;
  QCheckBox *CheckBox1 = nullptr;
  QPushButton *Button_OK = nullptr;
  QPushButton *Button_Cancel = nullptr;

  void selectMethod(Method m); // as a click in the method group

public slots:
  void RadioGroup1Click();
  void SpeedButton1Click();
  void Button_OKClick();
  void Button_CancelClick();

private:
  Method method() const;

  Prompter &prompter_;
  QGroupBox *group_ = nullptr;
  int typeCode_ = -1;
  QString extension_;
  qint64 size_ = 0;
};

// Shows a fresh New Item dialog modally and returns what the user chose.
NewItemResult showNewItemDialog(Prompter &prompter, QWidget *parent);

} // namespace tallowmere
