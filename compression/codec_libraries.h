#pragma once

#include <gsm.h>
#include <lame/lame.h>

#include <QString>

// libgsm and LAME, loaded when the first voice file is made instead of with the
// program, which would otherwise map both at every start though most runs compress
// nothing. Each table holds only the functions the codecs call, typed by the
// library's own header.

// A library's table after loading; the error is empty when every function was found.
template <typename Api>
struct LoadedCodecLibrary
{
    Api api{};
    QString error;
};

// libgsm's functions, under their names without the gsm_ prefix.
namespace Gsm {

// The library by name and major version, as QLibrary finds it on each platform.
constexpr char LibraryName[] = "gsm";
constexpr int LibraryVersion = 1;

struct Api
{
    decltype(&::gsm_create) create;
    decltype(&::gsm_option) option;
    decltype(&::gsm_encode) encode;
    decltype(&::gsm_destroy) destroy;
};

// Opens the library (a file name, or a name with its major version) for the rest of
// the process and fills the table; library() does this once, with LibraryName.
LoadedCodecLibrary<Api> load(const char *name, int version = -1);
// The library, loaded once, whichever thread asks first; null when it cannot be
// loaded, with the reason in loadError().
const Api *library();
QString loadError();

}  // namespace Gsm

// LAME's functions, under their names without the lame_ prefix (id3tag_ ones keep theirs).
namespace Lame {

constexpr char LibraryName[] = "mp3lame";
constexpr int LibraryVersion = 0;

struct Api
{
    decltype(&::lame_init) init;
    decltype(&::lame_close) close;
    decltype(&::lame_set_in_samplerate) set_in_samplerate;
    decltype(&::lame_set_out_samplerate) set_out_samplerate;
    decltype(&::lame_set_num_channels) set_num_channels;
    decltype(&::lame_set_mode) set_mode;
    decltype(&::lame_set_VBR) set_VBR;
    decltype(&::lame_set_VBR_min_bitrate_kbps) set_VBR_min_bitrate_kbps;
    decltype(&::lame_set_VBR_max_bitrate_kbps) set_VBR_max_bitrate_kbps;
    decltype(&::lame_set_VBR_hard_min) set_VBR_hard_min;
    decltype(&::lame_set_bWriteVbrTag) set_bWriteVbrTag;
    decltype(&::lame_set_write_id3tag_automatic) set_write_id3tag_automatic;
    decltype(&::lame_init_params) init_params;
    decltype(&::lame_encode_buffer) encode_buffer;
    decltype(&::lame_encode_flush) encode_flush;
    decltype(&::lame_get_id3v2_tag) get_id3v2_tag;
    decltype(&::lame_get_lametag_frame) get_lametag_frame;
    decltype(&::id3tag_init) id3tag_init;
    decltype(&::id3tag_v2_only) id3tag_v2_only;
    decltype(&::id3tag_set_textinfo_latin1) id3tag_set_textinfo_latin1;
    decltype(&::id3tag_set_textinfo_utf16) id3tag_set_textinfo_utf16;
};

// As Gsm's.
LoadedCodecLibrary<Api> load(const char *name, int version = -1);
const Api *library();
QString loadError();

}  // namespace Lame
