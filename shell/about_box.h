#pragma once

#include "shell/faced_box.h"

// The About box: the product's face with its attribution lines, or its credits once
// the hidden "Credits" command ran (Escape, Ctrl+Alt+Shift+A). Only "Close" ends it.
class CAboutBox : public CFacedBox
{
    Q_OBJECT
public:
    explicit CAboutBox(QWidget *parent = nullptr);

    bool showsCredits() const { return credits(); }
    QPushButton *creditsButton() const { return m_creditsButton; }

    // Command 2: switch to the credits page; the box stays open.
    void OnCredits();

    // Escape and closing the window reach the Credits command instead of ending the box.
    void reject() override;

private:
    QPushButton *m_creditsButton;
};
