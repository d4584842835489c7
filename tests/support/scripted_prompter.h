#pragma once

#include "shell/prompter.h"

#include <QDialog>
#include <QStringList>
#include <deque>
#include <functional>

// Answers prompts from a script and records what was asked. An unexpected prompt
// fails the running test.
class ScriptedPrompter : public Prompter
{
public:
    using DialogScript = std::function<int(QDialog &)>;

    void message(QWidget *parent, const QString &text) override;
    bool ask(QWidget *parent, const QString &text) override;
    QString openFileName(QWidget *parent, const QString &startFolder) override;
    int exec(QDialog &dialog) override;

    void answerNext(bool yes) { m_answers.push_back(yes); }
    void chooseFileNext(const QString &path) { m_files.push_back(path); }
    void onNextDialog(DialogScript script) { m_dialogs.push_back(std::move(script)); }

    // Every message and question shown, in order.
    QStringList shown;
    // The start folder of every file dialog.
    QStringList fileDialogFolders;
    // The current directory while each file dialog was open.
    QStringList fileDialogCurrentDirs;
    bool allAnswersUsed() const { return m_answers.empty() && m_files.empty() && m_dialogs.empty(); }

private:
    std::deque<bool> m_answers;
    std::deque<QString> m_files;
    std::deque<DialogScript> m_dialogs;
};
