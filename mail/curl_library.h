#pragma once

#include <curl/curl.h>

#include <QString>

// libcurl, loaded when the first mail connection is made instead of with the
// program. It brings OpenSSL, GnuTLS, Kerberos, LDAP and SSH along, which would
// cost every start about 5 MB and a sixth of its time, though many runs send nothing.
// The functions are libcurl's own, under their names without the curl_ prefix.
namespace Curl {

struct Api
{
    CURL *(*easy_init)();
    CURLcode (*easy_setopt)(CURL *, CURLoption, ...);
    CURLcode (*easy_perform)(CURL *);
    CURLcode (*easy_getinfo)(CURL *, CURLINFO, ...);
    void (*easy_cleanup)(CURL *);
    const char *(*easy_strerror)(CURLcode);
    curl_slist *(*slist_append)(curl_slist *, const char *);
    void (*slist_free_all)(curl_slist *);
};

// The library, loaded and globally set up once, whichever thread asks first; null
// when it cannot be loaded, with the reason in loadError().
const Api *library();
QString loadError();

}  // namespace Curl
