#include "shell/prompter.h"

#include "resources/product.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace {

int showBox(QWidget *parent, const QString &text, QMessageBox::StandardButtons buttons)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(Product::Name), text, buttons, parent);
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
