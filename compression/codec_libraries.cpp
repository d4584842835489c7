#include "compression/codec_libraries.h"

#include <QLibrary>

namespace {

// Fills one entry of a table; a missing function is named in `missing`.
template <typename F>
bool resolve(QLibrary &library, const char *name, F &target, QString &missing)
{
    target = reinterpret_cast<F>(library.resolve(name));
    if (!target)
        missing = QStringLiteral("%1 has no function %2").arg(library.fileName(), QLatin1String(name));
    return target != nullptr;
}

// Opens the library for the rest of the process and fills the table through fill,
// which is false when a function is missing; such a table is left empty.
template <typename Api, typename Fill>
LoadedCodecLibrary<Api> openLibrary(const char *name, int version, Fill fill)
{
    LoadedCodecLibrary<Api> loaded;
    QLibrary library(QString::fromLocal8Bit(name), version);
    library.setLoadHints(QLibrary::PreventUnloadHint);
    if (!library.load())
        loaded.error = library.errorString();
    else if (!fill(library, loaded.api, loaded.error))
        loaded.api = {};
    return loaded;
}

// Each table is loaded by the first caller on any thread; the others wait for it.
template <typename Api>
const LoadedCodecLibrary<Api> &loadedOnce(LoadedCodecLibrary<Api> (*load)(const char *, int), const char *name,
                                           int version)
{
    static const LoadedCodecLibrary<Api> library = load(name, version);
    return library;
}

template <typename Api>
const Api *usable(const LoadedCodecLibrary<Api> &loaded)
{
    return loaded.error.isEmpty() ? &loaded.api : nullptr;
}

}  // namespace

namespace Gsm {

LoadedCodecLibrary<Api> load(const char *name, int version)
{
    return openLibrary<Api>(name, version, [](QLibrary &h, Api &a, QString &e) {
        return resolve(h, "gsm_create", a.create, e) && resolve(h, "gsm_option", a.option, e) &&
               resolve(h, "gsm_encode", a.encode, e) && resolve(h, "gsm_destroy", a.destroy, e);
    });
}

const Api *library()
{
    return usable(loadedOnce<Api>(load, LibraryName, LibraryVersion));
}

QString loadError()
{
    return QStringLiteral("libgsm cannot be used: ") + loadedOnce<Api>(load, LibraryName, LibraryVersion).error;
}

}  // namespace Gsm

namespace Lame {

LoadedCodecLibrary<Api> load(const char *name, int version)
{
    return openLibrary<Api>(name, version, [](QLibrary &h, Api &a, QString &e) {
        return resolve(h, "lame_init", a.init, e) && resolve(h, "lame_close", a.close, e) &&
               resolve(h, "lame_set_in_samplerate", a.set_in_samplerate, e) &&
               resolve(h, "lame_set_out_samplerate", a.set_out_samplerate, e) &&
               resolve(h, "lame_set_num_channels", a.set_num_channels, e) && resolve(h, "lame_set_mode", a.set_mode, e) &&
               resolve(h, "lame_set_VBR", a.set_VBR, e) &&
               resolve(h, "lame_set_VBR_min_bitrate_kbps", a.set_VBR_min_bitrate_kbps, e) &&
               resolve(h, "lame_set_VBR_max_bitrate_kbps", a.set_VBR_max_bitrate_kbps, e) &&
               resolve(h, "lame_set_VBR_hard_min", a.set_VBR_hard_min, e) &&
               resolve(h, "lame_set_bWriteVbrTag", a.set_bWriteVbrTag, e) &&
               resolve(h, "lame_set_write_id3tag_automatic", a.set_write_id3tag_automatic, e) &&
               resolve(h, "lame_init_params", a.init_params, e) && resolve(h, "lame_encode_buffer", a.encode_buffer, e) &&
               resolve(h, "lame_encode_flush", a.encode_flush, e) &&
               resolve(h, "lame_get_id3v2_tag", a.get_id3v2_tag, e) &&
               resolve(h, "lame_get_lametag_frame", a.get_lametag_frame, e) &&
               resolve(h, "id3tag_init", a.id3tag_init, e) && resolve(h, "id3tag_v2_only", a.id3tag_v2_only, e) &&
               resolve(h, "id3tag_set_textinfo_latin1", a.id3tag_set_textinfo_latin1, e) &&
               resolve(h, "id3tag_set_textinfo_utf16", a.id3tag_set_textinfo_utf16, e);
    });
}

const Api *library()
{
    return usable(loadedOnce<Api>(load, LibraryName, LibraryVersion));
}

QString loadError()
{
    return QStringLiteral("LAME cannot be used: ") + loadedOnce<Api>(load, LibraryName, LibraryVersion).error;
}

}  // namespace Lame
