#pragma once

#include "app/talkpost_view.h"
#include "shell/main_frame.h"
#include "tests/support/scripted_prompter.h"

#include <QDir>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <memory>

// A real main frame and message form in a fresh program folder, with prompts
// answered by a script, and an empty settings store. The current directory is the program folder while the
// harness lives, as at a real start, and is restored afterwards.
class FormHarness
{
public:
    explicit FormHarness(const FormServices &extra = {});
    ~FormHarness();

    CMainFrame &frame() { return *m_frame; }
    CTalkpostView &view() { return *m_view; }
    ScriptedPrompter &prompter() { return m_prompter; }
    QString programFolder() const { return m_folder.path(); }
    QString outbox() const { return QDir(m_folder.path()).filePath(QStringLiteral("emsg")); }
    QString log() const { return m_frame->logEdit()->toPlainText(); }
    // The text a control of the form shows, found by its id (an editable box: its edit
    // text), and text put into it as typing would, replacing what it held.
    QString field(int id) const;
    void setField(int id, const QString &text);
    // Makes the profile the only stored one and the current settings, so the form
    // starts as on any run after the first.
    void useProfile(const Profile &profile);

private:
    QString m_previousDir;
    QTemporaryDir m_folder;
    ScriptedPrompter m_prompter;
    std::unique_ptr<CMainFrame> m_frame;
    CTalkpostView *m_view = nullptr;
};
