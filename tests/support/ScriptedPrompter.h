#pragma once
// A prompter that answers from a script and records what it was asked.

#include "common/Prompter.h"

#include <QFont>
#include <QList>
#include <QPrinter>
#include <QStringList>

namespace tallowmere::test {

class ScriptedPrompter : public Prompter {
public:
    QList<bool> answers;      // next answers to confirm(); No when empty
    QStringList asked;        // every confirm() text
    QStringList errors;       // every error() and refuse() text
    QStringList messages;     // "caption: text" of every message()
    QStringList warnings;     // "caption: text" of every warn(); answered from answers

    // The save dialog as it was opened.
    struct SaveRequest {
        QString caption;
        QString proposedName;
        QString filter;
        QString defaultExt;
    };
    QList<SaveRequest> saveRequests;
    QStringList savePaths;    // next paths chosen in the save dialog; cancelled when empty
    QStringList folderTitles; // every folder chooser's title
    QStringList folders;      // next folders chosen; cancelled when empty
    QList<QFont> fontsOffered;  // the font each font dialog opened on
    QList<QFont> fonts;       // next fonts chosen; cancelled when empty
    int printDialogs = 0;     // print dialogs opened
    QStringList pdfFiles;     // next print dialogs confirmed, printing to this PDF file; cancelled when empty

    bool confirm(QWidget*, const QString& text) override
    {
        asked << text;
        return answers.isEmpty() ? false : answers.takeFirst();
    }
    void error(QWidget*, const QString& text) override { errors << text; }
    void refuse(QWidget*, const QString& text) override { errors << text; }
    void message(QWidget*, const QString& caption, const QString& text) override
    {
        messages << caption + QStringLiteral(": ") + text;
    }
    QString saveFileName(QWidget*, const QString& caption, const QString& proposedName, const QString& filter,
                         const QString& defaultExt) override
    {
        saveRequests << SaveRequest{caption, proposedName, filter, defaultExt};
        return savePaths.isEmpty() ? QString() : savePaths.takeFirst();
    }
    QString chooseFolder(QWidget*, const QString& title) override
    {
        folderTitles << title;
        return folders.isEmpty() ? QString() : folders.takeFirst();
    }
    bool chooseFont(QWidget*, QFont& font) override
    {
        fontsOffered << font;
        if (fonts.isEmpty())
            return false;
        font = fonts.takeFirst();
        return true;
    }
    bool choosePrinter(QWidget*, QPrinter& printer) override
    {
        ++printDialogs;
        if (pdfFiles.isEmpty())
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfFiles.takeFirst());
        return true;
    }
    bool warn(QWidget*, const QString& caption, const QString& text) override
    {
        warnings << caption + QStringLiteral(": ") + text;
        return answers.isEmpty() ? false : answers.takeFirst();
    }
};

} // namespace tallowmere::test
