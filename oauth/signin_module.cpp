#include "oauth/signin_module.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

namespace {

using Factory = TokenSource *(*)(const BrowserOpener &browser, QObject *parent);

// The module's entry point, loaded on the first call; null when the module cannot be
// loaded, which is said once.
Factory factory()
{
    static QLibrary module(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("orvanto_signin")));
    static const bool loaded = [] {
        module.setLoadHints(QLibrary::PreventUnloadHint);
        if (module.load())
            return true;
        qWarning("Orvanto: no sign-in with the browser: %s", qPrintable(module.errorString()));
        return false;
    }();
    return loaded ? reinterpret_cast<Factory>(module.resolve("orvantoSignIn")) : nullptr;
}

}  // namespace

SignInModuleSource::SignInModuleSource(BrowserOpener browser, QObject *parent)
    : TokenSource(parent), m_browser(std::move(browser))
{
}

TokenSource *SignInModuleSource::source()
{
    if (!m_source) {
        const Factory make = factory();
        m_source = make ? make(m_browser, this) : nullptr;
        if (m_source) {
            connect(m_source, &TokenSource::tokenReady, this, &TokenSource::tokenReady);
            connect(m_source, &TokenSource::signInNeeded, this, &TokenSource::signInNeeded);
            connect(m_source, &TokenSource::failed, this, &TokenSource::failed);
        }
    }
    return m_source;
}

void SignInModuleSource::failMissing()
{
    // Later, as every answer, so that a caller connects after calling and still hears it.
    QMetaObject::invokeMethod(
        this, [this] { emit failed(QStringLiteral("The sign-in with the browser is not installed (orvanto_signin)")); },
        Qt::QueuedConnection);
}

void SignInModuleSource::requestToken(const OAuthLogin &login)
{
    if (TokenSource *s = source())
        s->requestToken(login);
    else
        failMissing();
}

void SignInModuleSource::signIn(const OAuthLogin &login)
{
    if (TokenSource *s = source())
        s->signIn(login);
    else
        failMissing();
}

void SignInModuleSource::discardAccessToken(const OAuthLogin &login)
{
    if (m_source)
        m_source->discardAccessToken(login);
}
