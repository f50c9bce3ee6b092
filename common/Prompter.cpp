#include "Prompter.h"

#include <QMessageBox>

namespace tallowmere {

bool DialogPrompter::confirm(QWidget* parent, const QString& text)
{
    return QMessageBox::question(parent, QStringLiteral("Confirm"), text,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

void DialogPrompter::error(QWidget* parent, const QString& text)
{
    QMessageBox::critical(parent, QStringLiteral("Error"), text);
}

void DialogPrompter::refuse(QWidget* parent, const QString& text)
{
    QMessageBox::warning(parent, QStringLiteral("Error"), text);
}

void DialogPrompter::message(QWidget* parent, const QString& caption, const QString& text)
{
    QMessageBox::warning(parent, caption, text);
}

bool DialogPrompter::warn(QWidget* parent, const QString& caption, const QString& text)
{
    return QMessageBox::warning(parent, caption, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

} // namespace tallowmere
