// The settings dialog's voice format choice and the sign-in with the browser.

#include "settings/settings_dialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

struct VoiceFormatEntry
{
    const char *name;
    const char *note;
};

// In the order of the stored numbers.
const VoiceFormatEntry VoiceFormats[] = {
    {"GSM 6.10 WAV", "The smallest files; they play on Windows and in desktop players."},
    {"MP3", "Plays everywhere: on phones, in web mail and in browsers."},
};

}  // namespace

void CSettingsDialog::createVoiceAndSignInControls()
{
    m_voiceFormatCombo = new QComboBox(this);
    m_voiceFormatCombo->setObjectName(QStringLiteral("voiceFormatCombo"));
    for (const VoiceFormatEntry &entry : VoiceFormats) {
        m_voiceFormatCombo->addItem(QString::fromLatin1(entry.name));
        m_voiceFormatCombo->setItemData(m_voiceFormatCombo->count() - 1, QString::fromLatin1(entry.note),
                                        Qt::ToolTipRole);
    }
    m_voiceFormatNote = new QLabel(this);
    connect(m_voiceFormatCombo, &QComboBox::currentIndexChanged, this, &CSettingsDialog::showVoiceFormatNote);
    showVoiceFormatNote();

    m_signInButton = new QPushButton(QStringLiteral("Sign in…"), this);
    m_signInButton->setObjectName(QStringLiteral("signInButton"));
    m_signInButton->setAutoDefault(false);
    m_signInNotice = new QLabel(this);
    m_signInButton->hide();
    m_signInNotice->hide();
    connect(m_signInButton, &QPushButton::clicked, this, [this] {
        UpdateData(true);
        if (m_signIn)
            m_signIn();
    });
    for (QLineEdit *server : {m_incomingEdit, m_outgoingEdit})
        connect(server, &QLineEdit::textChanged, this, &CSettingsDialog::showSignInOffer);
}

void CSettingsDialog::showVoiceFormatNote()
{
    const int index = m_voiceFormatCombo->currentIndex();
    m_voiceFormatNote->setText(index >= 0 ? QString::fromLatin1(VoiceFormats[index].note) : QString());
}

void CSettingsDialog::setSignIn(std::function<SignInOffer(const Account &)> offer, std::function<void()> signIn)
{
    m_signInOffer = std::move(offer);
    m_signIn = std::move(signIn);
    showSignInOffer();
}

void CSettingsDialog::showSignInOffer()
{
    Account servers;
    servers.incoming = m_incomingEdit->text();
    servers.outgoing = m_outgoingEdit->text();
    const SignInOffer offer = m_signInOffer ? m_signInOffer(servers) : SignInOffer();
    m_signInButton->setVisible(offer.browser);
    m_signInNotice->setText(offer.notice);
    m_signInNotice->setVisible(!offer.notice.isEmpty());
    // Such a profile keeps no password: its stages log in with tokens.
    if (offer.browser)
        m_passwordEdit->clear();
    m_passwordEdit->setEnabled(!offer.browser);
    if (isVisible())
        adjustSize();
}
