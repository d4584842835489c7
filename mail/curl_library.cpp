#include "mail/curl_library.h"

#include <QLibrary>
#include <mutex>

namespace Curl {

namespace {

struct Loaded
{
    Api api{};
    bool ok = false;
    QString error;
};

template <typename F>
bool resolve(QLibrary &lib, const char *name, F &target)
{
    target = reinterpret_cast<F>(lib.resolve(name));
    return target != nullptr;
}

Loaded load()
{
    Loaded loaded;
    // Loaded for the rest of the process: libcurl must not be unloaded after its
    // global set-up.
    QLibrary lib(QStringLiteral("curl"), 4);
    lib.setLoadHints(QLibrary::PreventUnloadHint);
    if (!lib.load()) {
        loaded.error = lib.errorString();
        return loaded;
    }
    CURLcode (*globalInit)(long) = nullptr;
    Api &a = loaded.api;
    const bool all = resolve(lib, "curl_global_init", globalInit) && resolve(lib, "curl_easy_init", a.easy_init)
                     && resolve(lib, "curl_easy_setopt", a.easy_setopt)
                     && resolve(lib, "curl_easy_perform", a.easy_perform)
                     && resolve(lib, "curl_easy_getinfo", a.easy_getinfo)
                     && resolve(lib, "curl_easy_cleanup", a.easy_cleanup)
                     && resolve(lib, "curl_easy_strerror", a.easy_strerror)
                     && resolve(lib, "curl_slist_append", a.slist_append)
                     && resolve(lib, "curl_slist_free_all", a.slist_free_all);
    if (!all) {
        loaded.error = lib.errorString();
        return loaded;
    }
    const CURLcode init = globalInit(CURL_GLOBAL_DEFAULT);
    loaded.ok = init == CURLE_OK;
    if (!loaded.ok)
        loaded.error = QString::fromUtf8(a.easy_strerror(init));
    return loaded;
}

const Loaded &loaded()
{
    static std::once_flag once;
    static Loaded result;
    std::call_once(once, [] { result = load(); });
    return result;
}

}  // namespace

const Api *library()
{
    return loaded().ok ? &loaded().api : nullptr;
}

QString loadError()
{
    return QStringLiteral("libcurl cannot be used: ") + loaded().error;
}

}  // namespace Curl
