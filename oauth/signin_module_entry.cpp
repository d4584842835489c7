// The entry point of the orvanto_signin module, which the program loads on first use
// (see signin_module.h): the tokens of the mail profiles, owned by `parent`.

#include "oauth/oauth_account.h"

extern "C" Q_DECL_EXPORT TokenSource *orvantoSignIn(const BrowserOpener &browser, QObject *parent)
{
    return new OAuthAccount(browser, parent);
}
