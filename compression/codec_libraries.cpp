#include "compression/codec_libraries.h"

#include <dlfcn.h>

namespace {

QString dlErrorText()
{
    const char *text = dlerror();
    return text ? QString::fromLocal8Bit(text) : QStringLiteral("unknown error");
}

template <typename F>
bool resolve(void *handle, const char *name, F &target)
{
    target = reinterpret_cast<F>(dlsym(handle, name));
    return target != nullptr;
}

// Opens the library and fills the table through fill, which is false when a function
// is missing; such a library is closed again and leaves the table empty.
template <typename Api, typename Fill>
LoadedCodecLibrary<Api> openLibrary(const char *fileName, Fill fill)
{
    LoadedCodecLibrary<Api> loaded;
    void *handle = dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        loaded.error = dlErrorText();
        return loaded;
    }
    if (!fill(handle, loaded.api)) {
        loaded.error = dlErrorText();
        loaded.api = {};
        dlclose(handle);
    }
    return loaded;
}

// Each table is loaded by the first caller on any thread; the others wait for it.
template <typename Api>
const LoadedCodecLibrary<Api> &loadedOnce(LoadedCodecLibrary<Api> (*load)(const char *), const char *soName)
{
    static const LoadedCodecLibrary<Api> library = load(soName);
    return library;
}

template <typename Api>
const Api *usable(const LoadedCodecLibrary<Api> &loaded)
{
    return loaded.error.isEmpty() ? &loaded.api : nullptr;
}

}  // namespace

namespace Gsm {

LoadedCodecLibrary<Api> load(const char *fileName)
{
    return openLibrary<Api>(fileName, [](void *h, Api &a) {
        return resolve(h, "gsm_create", a.create) && resolve(h, "gsm_option", a.option) &&
               resolve(h, "gsm_encode", a.encode) && resolve(h, "gsm_destroy", a.destroy);
    });
}

const Api *library()
{
    return usable(loadedOnce<Api>(load, SoName));
}

QString loadError()
{
    return QStringLiteral("libgsm cannot be used: ") + loadedOnce<Api>(load, SoName).error;
}

}  // namespace Gsm

namespace Lame {

LoadedCodecLibrary<Api> load(const char *fileName)
{
    return openLibrary<Api>(fileName, [](void *h, Api &a) {
        return resolve(h, "lame_init", a.init) && resolve(h, "lame_close", a.close) &&
               resolve(h, "lame_set_in_samplerate", a.set_in_samplerate) &&
               resolve(h, "lame_set_out_samplerate", a.set_out_samplerate) &&
               resolve(h, "lame_set_num_channels", a.set_num_channels) && resolve(h, "lame_set_mode", a.set_mode) &&
               resolve(h, "lame_set_VBR", a.set_VBR) &&
               resolve(h, "lame_set_VBR_min_bitrate_kbps", a.set_VBR_min_bitrate_kbps) &&
               resolve(h, "lame_set_VBR_max_bitrate_kbps", a.set_VBR_max_bitrate_kbps) &&
               resolve(h, "lame_set_VBR_hard_min", a.set_VBR_hard_min) &&
               resolve(h, "lame_set_bWriteVbrTag", a.set_bWriteVbrTag) &&
               resolve(h, "lame_set_write_id3tag_automatic", a.set_write_id3tag_automatic) &&
               resolve(h, "lame_init_params", a.init_params) && resolve(h, "lame_encode_buffer", a.encode_buffer) &&
               resolve(h, "lame_encode_flush", a.encode_flush) &&
               resolve(h, "lame_get_id3v2_tag", a.get_id3v2_tag) &&
               resolve(h, "lame_get_lametag_frame", a.get_lametag_frame) &&
               resolve(h, "id3tag_init", a.id3tag_init) && resolve(h, "id3tag_v2_only", a.id3tag_v2_only) &&
               resolve(h, "id3tag_set_textinfo_latin1", a.id3tag_set_textinfo_latin1) &&
               resolve(h, "id3tag_set_textinfo_utf16", a.id3tag_set_textinfo_utf16);
    });
}

const Api *library()
{
    return usable(loadedOnce<Api>(load, SoName));
}

QString loadError()
{
    return QStringLiteral("LAME cannot be used: ") + loadedOnce<Api>(load, SoName).error;
}

}  // namespace Lame
