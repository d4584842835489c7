#include "compression/mp3_encoder.h"

#include "compression/codec_libraries.h"

#include <vector>

namespace {

// ID3v2.3 keeps the date in three frames: TYER "yyyy", TDAT "ddMM", TIME "HHmm".
bool setDate(const Lame::Api &api, lame_t lame, const QDateTime &date)
{
    if (!date.isValid())
        return true;
    const QByteArray year = date.toString(QStringLiteral("yyyy")).toLatin1();
    const QByteArray day = date.toString(QStringLiteral("ddMM")).toLatin1();
    const QByteArray time = date.toString(QStringLiteral("HHmm")).toLatin1();
    return api.id3tag_set_textinfo_latin1(lame, "TYER", year.constData()) == 0 &&
           api.id3tag_set_textinfo_latin1(lame, "TDAT", day.constData()) == 0 &&
           api.id3tag_set_textinfo_latin1(lame, "TIME", time.constData()) == 0;
}

// The title in UTF-16 with a byte-order mark, so any subject survives.
bool setTitle(const Lame::Api &api, lame_t lame, const QString &title)
{
    if (title.isEmpty())
        return true;
    std::vector<unsigned short> text{0xFEFF};
    text.insert(text.end(), title.utf16(), title.utf16() + title.size());
    text.push_back(0);
    return api.id3tag_set_textinfo_utf16(lame, "TIT2", text.data()) == 0;
}

}  // namespace

QString Mp3Encoder::loadError()
{
    return Lame::library() ? QString() : Lame::loadError();
}

bool Mp3Encoder::configure(lame_global_struct *lame, const VoiceTags &tags)
{
    const Lame::Api *api = Lame::library();
    if (!api)
        return false;
    api->set_in_samplerate(lame, Mp3Encoder::InputRate);
    api->set_out_samplerate(lame, Mp3Encoder::OutputRate);
    api->set_num_channels(lame, 1);
    api->set_mode(lame, MONO);
    api->set_VBR(lame, vbr_default);
    api->set_VBR_min_bitrate_kbps(lame, Mp3Encoder::BitRate);
    api->set_VBR_max_bitrate_kbps(lame, Mp3Encoder::BitRate);
    api->set_VBR_hard_min(lame, 1);
    api->set_bWriteVbrTag(lame, 1);
    // The tag is written by the job, before the frames.
    api->set_write_id3tag_automatic(lame, 0);
    api->id3tag_init(lame);
    api->id3tag_v2_only(lame);
    return setTitle(*api, lame, tags.title) && setDate(*api, lame, tags.date) && api->init_params(lame) >= 0;
}

namespace {

// LAME's bound for the bytes of n samples: 1.25 n + 7200.
size_t bound(int samples)
{
    return size_t(samples) * 5 / 4 + 7200;
}

}  // namespace

std::unique_ptr<Mp3Encoder> Mp3Encoder::create(const VoiceTags &tags)
{
    const Lame::Api *api = Lame::library();
    lame_t lame = api ? api->init() : nullptr;
    if (!lame)
        return nullptr;
    if (!Mp3Encoder::configure(lame, tags)) {
        api->close(lame);
        return nullptr;
    }
    return std::unique_ptr<Mp3Encoder>(new Mp3Encoder(*api, lame));
}

Mp3Encoder::~Mp3Encoder()
{
    m_api.close(m_lame);
}

bool Mp3Encoder::encode(const qint16 *samples, int count, std::vector<unsigned char> &out)
{
    const size_t at = out.size();
    out.resize(at + bound(count));
    // Mono: the right channel is not read.
    const int made = m_api.encode_buffer(m_lame, samples, samples, count, out.data() + at, int(out.size() - at));
    out.resize(at + size_t(made > 0 ? made : 0));
    return made >= 0;
}

bool Mp3Encoder::finish(std::vector<unsigned char> &out)
{
    const size_t at = out.size();
    out.resize(at + bound(0));
    const int made = m_api.encode_flush(m_lame, out.data() + at, int(out.size() - at));
    out.resize(at + size_t(made > 0 ? made : 0));
    return made >= 0;
}

QByteArray Mp3Encoder::id3v2Tag() const
{
    QByteArray tag(int(m_api.get_id3v2_tag(m_lame, nullptr, 0)), '\0');
    const size_t got = m_api.get_id3v2_tag(m_lame, reinterpret_cast<unsigned char *>(tag.data()), size_t(tag.size()));
    return got == size_t(tag.size()) ? tag : QByteArray();
}

QByteArray Mp3Encoder::lameTagFrame() const
{
    QByteArray frame(int(m_api.get_lametag_frame(m_lame, nullptr, 0)), '\0');
    const size_t got =
        m_api.get_lametag_frame(m_lame, reinterpret_cast<unsigned char *>(frame.data()), size_t(frame.size()));
    return got == size_t(frame.size()) ? frame : QByteArray();
}
