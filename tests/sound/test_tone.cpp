#include "tests/sound/test_tone.h"

#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

namespace {
void Append(std::vector<unsigned char>& out, const ogg_page& page) {
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
}
}  // namespace

std::vector<unsigned char> EncodeTone(const Tone& tone) {
    std::vector<unsigned char> out;
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, tone.channels, tone.rate, 0.4f) != 0) {
        vorbis_info_clear(&info);
        return out;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 7);

    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &headerComment);
    ogg_stream_packetin(&stream, &headerCode);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page) != 0) Append(out, page);

    const double step = 2.0 * M_PI * tone.frequency / tone.rate;
    std::int64_t written = 0;
    bool ended = false;
    while (!ended) {
        const std::int64_t n = std::min<std::int64_t>(4096, tone.frames - written);
        if (n > 0) {
            float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(n));
            for (std::int64_t i = 0; i < n; ++i) {
                const float v = static_cast<float>(tone.amplitude * std::cos(step * static_cast<double>(written + i)));
                for (int c = 0; c < tone.channels; ++c) buffer[c][i] = v;
            }
            vorbis_analysis_wrote(&dsp, static_cast<int>(n));
            written += n;
        } else {
            vorbis_analysis_wrote(&dsp, 0);
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0) {
                    Append(out, page);
                    if (ogg_page_eos(&page)) ended = true;
                }
            }
        }
    }
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

std::vector<unsigned char> WithHeaderFormat(std::vector<unsigned char> image, int channels, std::uint32_t rate) {
    // The first page holds the identification header alone: a 27-byte page header, its segment
    // table, then the packet: type 1, "vorbis", version (4 bytes), channels (1), rate (4, LE).
    if (image.size() < 27 || image[26] == 0) return {};
    const std::size_t headerBytes = 27 + image[26];
    std::size_t bodyBytes = 0;
    for (std::size_t i = 0; i < image[26]; ++i) bodyBytes += image[27 + i];
    if (image.size() < headerBytes + bodyBytes || bodyBytes < 16) return {};
    unsigned char* packet = image.data() + headerBytes;
    packet[11] = static_cast<unsigned char>(channels);
    for (int i = 0; i < 4; ++i) packet[12 + i] = static_cast<unsigned char>(rate >> (8 * i));
    ogg_page page{image.data(), static_cast<long>(headerBytes), packet, static_cast<long>(bodyBytes)};
    ogg_page_checksum_set(&page);
    return image;
}

bool WriteFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}
