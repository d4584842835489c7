#pragma once

#include "oauth/token_source.h"

// The tokens as the program gets them: from the module orvanto_signin beside the
// program, loaded on the first request. Qt Network, Qt Network Authorization and
// QtKeychain come with the module; a start that signs no one in loads none of them.
//
// Without the module every request fails with a line that says so; the module's
// token source passes each call on and its answers come out of this object.
class SignInModuleSource : public TokenSource
{
public:
    explicit SignInModuleSource(BrowserOpener browser, QObject *parent = nullptr);

    void requestToken(const OAuthLogin &login) override;
    void signIn(const OAuthLogin &login) override;
    void discardAccessToken(const OAuthLogin &login) override;

private:
    // Made on the first call by the module's entry point; null without the module.
    TokenSource *source();
    void failMissing();

    BrowserOpener m_browser;
    TokenSource *m_source = nullptr;
};
