#pragma once

#include <QDialog>

namespace tallowmere {

// The About box.
class TForm_ImportD : public QDialog {
    Q_OBJECT
public:
    explicit TForm_ImportD(QWidget* parent = nullptr);
};

// The program's own picture (window icon and About box).
QIcon programIcon();
// The tool bar's print button picture.
QIcon printerIcon();

} // namespace tallowmere
