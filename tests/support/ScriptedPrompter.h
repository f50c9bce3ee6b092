#pragma once
// A prompter that answers from a script and records what it was asked.

#include "common/Prompter.h"

#include <QList>
#include <QStringList>

namespace tallowmere::test {

class ScriptedPrompter : public Prompter {
public:
    QList<bool> answers;      // next answers to confirm(); No when empty
    QStringList asked;        // every confirm() text
    QStringList errors;       // every error() and refuse() text
    QStringList messages;     // "caption: text" of every message()
    QStringList warnings;     // "caption: text" of every warn(); answered from answers

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
    bool warn(QWidget*, const QString& caption, const QString& text) override
    {
        warnings << caption + QStringLiteral(": ") + text;
        return answers.isEmpty() ? false : answers.takeFirst();
    }
};

} // namespace tallowmere::test
