#include "app/form_layout.h"

#include "app/bitmap_button.h"
#include "resources/resource_ids.h"
#include "shell/combo_accessibility.h"
#include "shell/eliding_combo_box.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

struct Place
{
    int id;
    int row, column, columnSpan;
    const char *label;  // beside the control in column 0, when it has one
};

// In tab order. The hidden Attach button and phone edit take no room while hidden.
const Place Places[] = {
    {Ids::ProfileCombo, 0, 1, 1, "From:"},     {Ids::RecButton, 0, 2, 1, nullptr},
    {Ids::PlayButton, 0, 3, 1, nullptr},       {Ids::StopButton, 0, 4, 1, nullptr},
    {Ids::RecipientCombo, 1, 1, 4, "To:"},     {Ids::CcEdit, 2, 1, 4, "Cc:"},
    {Ids::SubjectEdit, 3, 1, 4, "Subj:"},      {Ids::BodyEdit, 4, 1, 4, "Msg Body:"},
    {Ids::AttachmentsEdit, 5, 1, 3, "Files:"}, {Ids::BrowseButton, 5, 4, 1, nullptr},
    {Ids::AttachButton, 6, 4, 1, nullptr},     {Ids::PhoneEdit, 6, 1, 1, nullptr},
};

QWidget *makeControl(int id, QWidget *form)
{
    switch (id) {
    case Ids::ProfileCombo: return new ElidingComboBox(form);
    case Ids::RecButton: return new BitmapButton(QStringLiteral("Rec"), form);
    case Ids::PlayButton: return new BitmapButton(QStringLiteral("Play"), form);
    case Ids::StopButton: return new BitmapButton(QStringLiteral("Stop"), form);
    case Ids::BrowseButton: return new BitmapButton(QStringLiteral("..."), form);
    case Ids::AttachButton: return new BitmapButton(QStringLiteral("Attach"), form);
    case Ids::BodyEdit: {
        auto *body = new QPlainTextEdit(form);
        body->setLineWrapMode(QPlainTextEdit::NoWrap);
        body->setTabChangesFocus(true);
        return body;
    }
    case Ids::RecipientCombo: {
        auto *to = new QComboBox(form);
        to->setEditable(true);
        to->setInsertPolicy(QComboBox::NoInsert);
        return to;
    }
    default: return new QLineEdit(form);
    }
}

}  // namespace

void BuildMessageForm(QWidget *form)
{
    NameComboBoxesByTheirLabels();
    auto *grid = new QGridLayout(form);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(3);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(4, 1);
    QWidget *previous = nullptr;
    for (const Place &place : Places) {
        QWidget *control = makeControl(place.id, form);
        control->setObjectName(QString::number(place.id));
        grid->addWidget(control, place.row, place.column, 1, place.columnSpan);
        if (place.label) {
            auto *label = new QLabel(QString::fromLatin1(place.label), form);
            label->setBuddy(control);
            control->setAccessibleName(label->text());
            grid->addWidget(label, place.row, 0, place.id == Ids::BodyEdit ? Qt::AlignTop : Qt::AlignVCenter);
        }
        if (previous)
            QWidget::setTabOrder(previous, control);
        previous = control;
    }
    QWidget *phoneLabel = new QLabel(QStringLiteral("Phone:"), form);
    grid->addWidget(phoneLabel, 6, 0);
    QWidget *phone = grid->itemAtPosition(6, 1)->widget();
    phone->setAccessibleName(QStringLiteral("Phone:"));
    for (QWidget *hidden : {phoneLabel, phone, grid->itemAtPosition(6, 4)->widget()})
        hidden->hide();
}
