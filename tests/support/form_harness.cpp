#include "tests/support/form_harness.h"

#include "settings/profile_file.h"
#include "settings/settings_store.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSettings>

FormHarness::FormHarness(const FormServices &extra)
    : m_previousDir(QDir::currentPath())
{
    QDir::setCurrent(m_folder.path());
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvanto"), QStringLiteral("Orvanto"))
        .clear();
    FormServices services = extra;
    services.programFolder = m_folder.path();
    services.prompter = &m_prompter;
    m_frame = std::make_unique<CMainFrame>();
    m_view = new CTalkpostView(services, m_frame.get());
    m_frame->setCentralWidget(m_view);
    m_frame->setClient(m_view);
}

FormHarness::~FormHarness()
{
    m_frame.reset();
    QDir::setCurrent(m_previousDir);
}

QString FormHarness::log() const
{
    return m_frame->logEdit()->toPlainText();
}

QString FormHarness::field(int id) const
{
    QWidget *control = m_view->findChild<QWidget *>(QString::number(id));
    if (auto *line = qobject_cast<QLineEdit *>(control))
        return line->text();
    if (auto *combo = qobject_cast<QComboBox *>(control))
        return combo->currentText();
    if (auto *text = qobject_cast<QPlainTextEdit *>(control))
        return text->toPlainText();
    return QStringLiteral("<no control %1>").arg(id);
}

void FormHarness::setField(int id, const QString &text)
{
    QWidget *control = m_view->findChild<QWidget *>(QString::number(id));
    if (auto *line = qobject_cast<QLineEdit *>(control))
        line->setText(text);
    else if (auto *combo = qobject_cast<QComboBox *>(control))
        combo->setEditText(text);
    else if (auto *edit = qobject_cast<QPlainTextEdit *>(control))
        edit->setPlainText(text);
    else
        qFatal("no text control %d", id);
}

void FormHarness::useProfile(const Profile &profile)
{
    ProfileFile::write(ProfileFile::path(m_folder.path()), {profile});
    SettingsStore::save({profile, false});
}
