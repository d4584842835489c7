#include "tests/support/form_harness.h"

#include "settings/profile_file.h"
#include "settings/settings_store.h"

#include <QMetaProperty>
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

QString FormHarness::field(int id) const
{
    QWidget *control = m_view->findChild<QWidget *>(QString::number(id));
    return control ? control->metaObject()->userProperty().read(control).toString() : QStringLiteral("<no control %1>").arg(id);
}

void FormHarness::setField(int id, const QString &text)
{
    QWidget *control = m_view->findChild<QWidget *>(QString::number(id));
    if (!control || !control->metaObject()->userProperty().write(control, text))
        qFatal("no text control %d", id);
}

void FormHarness::useProfile(const Profile &profile)
{
    ProfileFile::write(ProfileFile::path(m_folder.path()), {profile});
    SettingsStore::save({profile, false});
}
