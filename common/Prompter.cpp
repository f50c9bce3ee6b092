#include "Prompter.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QStandardPaths>

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

QString DialogPrompter::saveFileName(QWidget* parent, const QString& caption, const QString& proposedName,
                                     const QString& filter, const QString& defaultExt)
{
    QFileDialog dialog(parent, caption);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilter(fileDialogFilter(filter));
    dialog.setDefaultSuffix(defaultExt.startsWith(u'.') ? defaultExt.mid(1) : defaultExt);
    dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString DialogPrompter::chooseFolder(QWidget* parent, const QString& title)
{
    // The desktop where there is one, else the home folder.
    QString start = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!QFileInfo(start).isDir())
        start = QDir::homePath();
    return QFileDialog::getExistingDirectory(parent, title, start, QFileDialog::ShowDirsOnly);
}

bool DialogPrompter::chooseFont(QWidget* parent, QFont& font)
{
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font, parent);
    if (ok)
        font = chosen;
    return ok;
}

bool DialogPrompter::choosePrinter(QWidget* parent, QPrinter& printer)
{
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

QString fileDialogFilter(const QString& filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString& p : patterns) {
            p = p.trimmed();
            if (p == QLatin1String("*.*"))
                p = QStringLiteral("*");
        }
        entries << parts[i] + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return entries.join(QStringLiteral(";;"));
}

bool DialogPrompter::warn(QWidget* parent, const QString& caption, const QString& text)
{
    return QMessageBox::warning(parent, caption, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

} // namespace tallowmere
