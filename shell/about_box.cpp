#include "shell/about_box.h"

#include "resources/resource_ids.h"

#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>

CAboutBox::CAboutBox(QWidget *parent)
    : CFacedBox(BoxFace::Kind::About, QSize(309, 189), QPoint(251, 138), parent),
      m_creditsButton(new QPushButton(QStringLiteral("Credits"), this))
{
    setObjectName(QString::number(Ids::AboutBox));
    m_creditsButton->setObjectName(QString::number(Ids::ResultCancel));
    m_creditsButton->setAutoDefault(false);
    placeButton(m_creditsButton, QPoint(197, 138));
    m_creditsButton->hide();
    connect(m_creditsButton, &QPushButton::clicked, this, &CAboutBox::OnCredits);
    // Accelerator table 185: one key for the Credits command.
    auto *shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_A), this);
    connect(shortcut, &QShortcut::activated, this, &CAboutBox::OnCredits);
}

void CAboutBox::OnCredits()
{
    setCredits(true);
}

void CAboutBox::reject()
{
    OnCredits();
}
