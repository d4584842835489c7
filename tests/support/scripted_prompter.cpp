#include "tests/support/scripted_prompter.h"

#include <QDir>
#include <QTest>

void ScriptedPrompter::message(QWidget *, const QString &text)
{
    shown << text;
}

bool ScriptedPrompter::ask(QWidget *, const QString &text)
{
    shown << text;
    if (m_answers.empty()) {
        QTest::qFail(qPrintable(QStringLiteral("unexpected question: ") + text), __FILE__, __LINE__);
        return false;
    }
    const bool yes = m_answers.front();
    m_answers.pop_front();
    return yes;
}

QString ScriptedPrompter::openFileName(QWidget *, const QString &startFolder)
{
    fileDialogFolders << startFolder;
    fileDialogCurrentDirs << QDir::currentPath();
    if (m_files.empty())
        return QString();
    const QString path = m_files.front();
    m_files.pop_front();
    return path;
}

int ScriptedPrompter::exec(QDialog &dialog)
{
    if (m_dialogs.empty()) {
        QTest::qFail(qPrintable(QStringLiteral("unexpected dialog: ") + dialog.windowTitle()), __FILE__, __LINE__);
        return QDialog::Rejected;
    }
    DialogScript script = std::move(m_dialogs.front());
    m_dialogs.pop_front();
    return script(dialog);
}
