#include "shell/prompter.h"

#include "resources/product.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QScreen>

namespace {

// Qt centres a box over its parent, even over a parent not yet shown (on a first
// run, before the main window appears); there it goes to the middle of the screen.
class Box : public QMessageBox
{
public:
    Box(const QString &text, StandardButtons buttons, QWidget *parent)
        : QMessageBox(NoIcon, QString::fromLatin1(Product::Name), text, buttons, parent)
    {
    }

protected:
    void showEvent(QShowEvent *event) override
    {
        QMessageBox::showEvent(event);  // gives the box its final size
        const QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr;
        if ((!owner || !owner->isVisible()) && screen()) {
            QRect centred = frameGeometry();
            centred.moveCenter(screen()->availableGeometry().center());
            move(centred.topLeft());
        }
    }
};

int showBox(QWidget *parent, const QString &text, QMessageBox::StandardButtons buttons)
{
    Box box(text, buttons, parent);
    return box.exec();
}

}  // namespace

void WidgetPrompter::message(QWidget *parent, const QString &text)
{
    showBox(parent, text, QMessageBox::Ok);
}

bool WidgetPrompter::ask(QWidget *parent, const QString &text)
{
    return showBox(parent, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

QString WidgetPrompter::openFileName(QWidget *parent, const QString &startFolder)
{
    return QFileDialog::getOpenFileName(parent, QString(), startFolder);
}

int WidgetPrompter::exec(QDialog &dialog)
{
    return dialog.exec();
}
