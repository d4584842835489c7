// The controls of the settings dialog in the arrangement of template 135: four
// group boxes (profile, e-mail server, account, audio) above Cancel and OK.

#include "settings/settings_dialog.h"

#include "resources/resource_ids.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

void name(QWidget *widget, int id)
{
    widget->setObjectName(QString::number(id));
}

QPushButton *makeButton(const QString &text, int id, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setAutoDefault(false);
    name(button, id);
    return button;
}

QCheckBox *makeCheck(const QString &text, int id, bool textOnLeft, QWidget *parent)
{
    auto *check = new QCheckBox(text, parent);
    if (textOnLeft)
        check->setLayoutDirection(Qt::RightToLeft);
    name(check, id);
    return check;
}

QLineEdit *makeEdit(int id, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    name(edit, id);
    return edit;
}

QComboBox *makeList(int id, QWidget *parent)
{
    auto *box = new QComboBox(parent);
    name(box, id);
    return box;
}

// A label in the first column of a group, naming the control beside it.
QLabel *addLabel(QGridLayout *grid, const QString &text, QWidget *buddy, int row)
{
    auto *label = new QLabel(text, buddy->parentWidget());
    label->setBuddy(buddy);
    buddy->setAccessibleName(text);
    grid->addWidget(label, row, 0);
    return label;
}

// Every group has the same three columns: labels, the main controls, and the
// small controls at their right.
QGridLayout *groupGrid(QGroupBox *group)
{
    auto *grid = new QGridLayout(group);
    grid->setColumnStretch(1, 1);
    grid->setVerticalSpacing(4);
    return grid;
}

int widest(std::initializer_list<QWidget *> widgets)
{
    int width = 0;
    for (QWidget *widget : widgets)
        width = std::max(width, widget->sizeHint().width());
    return width;
}

}  // namespace

void CSettingsDialog::createControls()
{
    setWindowTitle(QStringLiteral("Settings"));
    name(this, Ids::SettingsDialog);

    m_nameCombo = makeList(Ids::SettingsProfileCombo, this);
    m_nameCombo->setEditable(true);
    m_nameCombo->setInsertPolicy(QComboBox::NoInsert);
    // Like a plain drop-down with an edit: no completion, and leaving the edit
    // never picks an entry by itself; only a choice in the list does.
    m_nameCombo->setCompleter(nullptr);
    disconnect(m_nameCombo->lineEdit(), SIGNAL(editingFinished()), m_nameCombo, nullptr);
    m_autoConnectCheck = makeCheck(QStringLiteral("Autoconnect"), Ids::SettingsAutoConnectCheck, true, this);
    m_newButton = makeButton(QStringLiteral("New"), Ids::SettingsNewButton, this);
    m_deleteButton = makeButton(QStringLiteral("Delete"), Ids::SettingsDeleteButton, this);
    m_saveButton = makeButton(QStringLiteral("Save"), Ids::SettingsSaveButton, this);

    m_incomingEdit = makeEdit(Ids::SettingsIncomingEdit, this);
    m_outgoingEdit = makeEdit(Ids::SettingsOutgoingEdit, this);
    m_protocolCombo = makeList(Ids::SettingsProtocolCombo, this);
    m_protocolCombo->addItems({QStringLiteral("SMTP"), QStringLiteral("ESMTP")});
    m_requirePassCheck = makeCheck(QStringLiteral("Outgoing server requires password"),
                                   Ids::SettingsRequirePassCheck, false, this);

    m_userEdit = makeEdit(Ids::SettingsUserEdit, this);
    m_testButton = makeButton(QStringLiteral("Test"), Ids::SettingsTestButton, this);
    m_passwordEdit = makeEdit(Ids::SettingsPasswordEdit, this);
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    m_savePassCheck = makeCheck(QStringLiteral("Save Pass"), Ids::SettingsSavePassCheck, true, this);
    m_replyEdit = makeEdit(Ids::SettingsReplyEdit, this);

    m_inputCombo = makeList(Ids::SettingsInputCombo, this);
    m_outputCombo = makeList(Ids::SettingsOutputCombo, this);

    createVoiceAndSignInControls();
    m_cancelButton = makeButton(QStringLiteral("Cancel"), Ids::ResultCancel, this);
    m_okButton = makeButton(QStringLiteral("OK"), Ids::ResultOk, this);
    m_okButton->setDefault(true);
}

void CSettingsDialog::layOutControls()
{
    // The controls were created on the dialog; each group's layout moves its own
    // controls into the group box.
    QList<QLabel *> labels;
    QList<QGridLayout *> grids;
    auto *profile = new QGroupBox(QStringLiteral("Profile "), this);
    QGridLayout *grid = grids.emplaceBack(groupGrid(profile));
    labels << addLabel(grid, QStringLiteral("Name"), m_nameCombo, 0);
    grid->addWidget(m_nameCombo, 0, 1, 1, 2);
    auto *profileButtons = new QHBoxLayout;
    profileButtons->addWidget(m_autoConnectCheck);
    profileButtons->addSpacing(16);
    profileButtons->addStretch(1);
    for (QPushButton *button : {m_newButton, m_deleteButton, m_saveButton})
        profileButtons->addWidget(button);
    grid->addLayout(profileButtons, 1, 0, 1, 3);

    auto *server = new QGroupBox(QStringLiteral("Email Server "), this);
    grid = grids.emplaceBack(groupGrid(server));
    labels << addLabel(grid, QStringLiteral("Incoming"), m_incomingEdit, 0);
    grid->addWidget(m_incomingEdit, 0, 1);
    auto *pop3 = new QLabel(QStringLiteral("[POP3]"), this);
    grid->addWidget(pop3, 0, 2);
    labels << addLabel(grid, QStringLiteral("Outgoing"), m_outgoingEdit, 1);
    grid->addWidget(m_outgoingEdit, 1, 1);
    grid->addWidget(m_protocolCombo, 1, 2);
    grid->addWidget(m_requirePassCheck, 2, 1, 1, 2);

    auto *account = new QGroupBox(QStringLiteral("Account "), this);
    grid = grids.emplaceBack(groupGrid(account));
    labels << addLabel(grid, QStringLiteral("User Name"), m_userEdit, 0);
    grid->addWidget(m_userEdit, 0, 1);
    grid->addWidget(m_testButton, 0, 2);
    labels << addLabel(grid, QStringLiteral("Password"), m_passwordEdit, 1);
    grid->addWidget(m_passwordEdit, 1, 1);
    grid->addWidget(m_savePassCheck, 1, 2);
    labels << addLabel(grid, QStringLiteral("Reply Address"), m_replyEdit, 2);
    grid->addWidget(m_replyEdit, 2, 1, 1, 2);
    // Never both: the notice stands where there is no sign-in to offer.
    grid->addWidget(m_signInNotice, 3, 1, 1, 2);
    grid->addWidget(m_signInButton, 3, 2);

    auto *audio = new QGroupBox(QStringLiteral("Audio Properties "), this);
    grid = grids.emplaceBack(groupGrid(audio));
    labels << addLabel(grid, QStringLiteral("Microphone"), m_inputCombo, 0);
    grid->addWidget(m_inputCombo, 0, 1, 1, 2);
    labels << addLabel(grid, QStringLiteral("Speakers"), m_outputCombo, 1);
    grid->addWidget(m_outputCombo, 1, 1, 1, 2);
    labels << addLabel(grid, QStringLiteral("Voice format"), m_voiceFormatCombo, 2);
    grid->addWidget(m_voiceFormatCombo, 2, 1, 1, 2);
    grid->addWidget(m_voiceFormatNote, 3, 1, 1, 2);

    // The edits of all four groups line up, as in the template.
    int labelWidth = 0;
    for (const QLabel *label : labels)
        labelWidth = std::max(labelWidth, label->sizeHint().width());
    const int sideWidth = widest({pop3, m_protocolCombo, m_testButton, m_savePassCheck});
    for (QGridLayout *each : grids) {
        each->setColumnMinimumWidth(0, labelWidth);
        each->setColumnMinimumWidth(2, sideWidth);
    }

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_okButton);

    auto *column = new QVBoxLayout(this);
    for (QGroupBox *group : {profile, server, account, audio})
        column->addWidget(group);
    column->addLayout(buttons);

    QWidget *order[] = {m_nameCombo,        m_autoConnectCheck, m_newButton,     m_deleteButton,
                        m_saveButton,       m_incomingEdit,     m_outgoingEdit,  m_protocolCombo,
                        m_requirePassCheck, m_userEdit,         m_testButton,    m_passwordEdit,
                        m_savePassCheck,    m_replyEdit,        m_signInButton,  m_inputCombo,
                        m_outputCombo,      m_voiceFormatCombo, m_cancelButton,  m_okButton};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    setMinimumWidth(380);
}
