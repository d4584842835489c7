#pragma once

#include <QString>

class QDialog;
class QWidget;

// The seam for everything that waits for the user: message boxes, the open-file
// dialog and modal dialogs. The program uses WidgetPrompter; tests script answers.
class Prompter
{
public:
    virtual ~Prompter() = default;

    // Box with the application's title, no icon and an OK button.
    virtual void message(QWidget *parent, const QString &text) = 0;
    // Box with the application's title, no icon and Yes/No buttons; true for Yes.
    virtual bool ask(QWidget *parent, const QString &text) = 0;
    // The system's open-file dialog starting in startFolder, every file listed;
    // the chosen file's full path, or an empty string when cancelled.
    virtual QString openFileName(QWidget *parent, const QString &startFolder) = 0;
    // Runs a modal dialog and returns its result code.
    virtual int exec(QDialog &dialog) = 0;
};

class WidgetPrompter : public Prompter
{
public:
    void message(QWidget *parent, const QString &text) override;
    bool ask(QWidget *parent, const QString &text) override;
    QString openFileName(QWidget *parent, const QString &startFolder) override;
    int exec(QDialog &dialog) override;
};
