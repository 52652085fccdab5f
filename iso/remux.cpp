#include "iso/remux.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

#include "iso/esds_bit_rates.h"
#include "iso/stream_chunks.h"
#include "platform/cleanup_registry.h"
#include "platform/files.h"
#include "platform/message.h"
#include "platform/paths.h"

namespace kvt {
namespace {

constexpr std::string_view kOpenOutputFailedText = "出力ファイル開けませんでした。";
constexpr std::string_view kReadFailedText = "読み込みエラー。";
constexpr std::string_view kRemuxFailedText = "エラー。";
constexpr std::string_view kConvertingTo3gpText = "Converting to 3GP file...";

// The muxer cannot set the minor version or the compatible brands; these 16 bytes from
// offset 12 of its 28-byte ftyp are patched in place, which moves no offset.
constexpr size_t kFtypSize = 28;
constexpr size_t kBrandPatchOffset = 12;
constexpr std::array<uint8_t, 16> kBrandPatch = {
    0,   0,   0,   1,    // minor version
    'm', 'm', 'p', '4',  // compatible brands
    '3', 'g', 'p', '5', '3', 'g', 'p', '4',
};

struct InputCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using InputContext = std::unique_ptr<AVFormatContext, InputCloser>;

struct OutputCloser {
    void operator()(AVFormatContext* context) const {
        if (context->pb != nullptr) {
            avio_closep(&context->pb);
        }
        avformat_free_context(context);
    }
};
using OutputContext = std::unique_ptr<AVFormatContext, OutputCloser>;

InputContext OpenInput(const std::string& path) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        return nullptr;
    }
    InputContext input(raw);
    if (avformat_find_stream_info(input.get(), nullptr) < 0 || input->nb_streams == 0) {
        return nullptr;
    }
    return input;
}

OutputContext OpenOutput(const std::string& path) {
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, "3gp", path.c_str()) < 0) {
        return nullptr;
    }
    OutputContext output(raw);
    if (avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) {
        return nullptr;
    }
    return output;
}

// One output stream per track of the input, copied as it is, and the input's creation
// time, which the muxer writes as creation and modification time of every header.
bool CopyStreams(AVFormatContext* input, AVFormatContext* output) {
    if (const AVDictionaryEntry* created = av_dict_get(input->metadata, "creation_time", nullptr, 0)) {
        av_dict_set(&output->metadata, "creation_time", created->value, 0);
    }
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        AVStream* stream = avformat_new_stream(output, nullptr);
        if (stream == nullptr || avcodec_parameters_copy(stream->codecpar, input->streams[i]->codecpar) < 0) {
            return false;
        }
        stream->codecpar->codec_tag = 0;
        stream->time_base = input->streams[i]->time_base;
    }
    return true;
}

enum class CopyResult { Done, ReadFailed, WriteFailed };

CopyResult CopyPackets(AVFormatContext* input, AVFormatContext* output) {
    AVDictionary* options = nullptr;
    av_dict_set(&options, "brand", "mmp4", 0);
    av_dict_set(&options, "movflags", "+faststart", 0);
    const int header = avformat_write_header(output, &options);
    av_dict_free(&options);
    if (header < 0) {
        return CopyResult::WriteFailed;
    }
    AVPacket* packet = av_packet_alloc();
    if (packet == nullptr) {
        return CopyResult::WriteFailed;
    }
    CopyResult result = CopyResult::Done;
    for (;;) {
        const int read = av_read_frame(input, packet);
        if (read == AVERROR_EOF) {
            break;
        }
        if (read < 0) {
            result = CopyResult::ReadFailed;
            break;
        }
        const AVStream* from = input->streams[packet->stream_index];
        const AVStream* to = output->streams[packet->stream_index];
        av_packet_rescale_ts(packet, from->time_base, to->time_base);
        packet->pos = -1;
        if (av_interleaved_write_frame(output, packet) < 0) {
            result = CopyResult::WriteFailed;
            break;
        }
    }
    av_packet_free(&packet);
    if (result == CopyResult::Done && av_write_trailer(output) < 0) {
        result = CopyResult::WriteFailed;
    }
    return result;
}

// The muxer writes a lone track as one chunk; the streaming layout has half-second chunks.
// Then the brands the muxer cannot set are patched in place, and the esds gets the buffer
// size and bit rates measured for `original` (the muxer declares its average as the
// maximum); nothing when the file is not the muxer's.
std::optional<std::vector<uint8_t>> StreamingLayout(const std::string& muxedPath, std::span<const uint8_t> original) {
    const std::optional<std::vector<uint8_t>> bytes = ReadWholeFile(muxedPath);
    if (!bytes) {
        return std::nullopt;
    }
    std::optional<std::vector<uint8_t>> chunked = ChunkBySeconds(*bytes, kStreamingChunkSeconds);
    if (!chunked || chunked->size() < kFtypSize) {
        return std::nullopt;
    }
    const uint8_t* head = chunked->data();
    if (head[0] != 0 || head[1] != 0 || head[2] != 0 || head[3] != kFtypSize ||
        std::memcmp(head + 4, "ftypmmp4", 8) != 0) {
        return std::nullopt;
    }
    std::copy(kBrandPatch.begin(), kBrandPatch.end(), chunked->begin() + kBrandPatchOffset);
    const std::optional<size_t> from = FindEsdsBitRates(original);
    const std::optional<size_t> to = FindEsdsBitRates(*chunked);
    if (from && to)
        std::copy_n(original.begin() + static_cast<long>(*from), kEsdsBitRateBytes,
                    chunked->begin() + static_cast<long>(*to));
    return chunked;
}

}  // namespace

bool RemuxForStreaming(const std::string& path) {
    const std::optional<std::string> temporary = CreateTemporaryFile(FolderOfPath(path));
    if (!temporary) {
        ShowMessage(kOpenOutputFailedText);
        return false;
    }
    auto fail = [&](std::string_view message) {
        std::remove(temporary->c_str());
        DropPendingPath(*temporary);
        ShowMessage(message);
        return false;
    };
    {
        OutputContext output = OpenOutput(*temporary);
        if (!output) {
            return fail(kOpenOutputFailedText);
        }
        InputContext input = OpenInput(path);
        if (!input || !CopyStreams(input.get(), output.get())) {
            return fail(kReadFailedText);
        }
        ShowNote(kConvertingTo3gpText);
        switch (CopyPackets(input.get(), output.get())) {
        case CopyResult::Done: break;
        case CopyResult::ReadFailed: return fail(kReadFailedText);
        case CopyResult::WriteFailed: return fail(kRemuxFailedText);
        }
        if (avio_closep(&output->pb) < 0) {
            return fail(kRemuxFailedText);
        }
    }
    const std::optional<std::vector<uint8_t>> original = ReadWholeFile(path);
    const std::optional<std::vector<uint8_t>> layout = original ? StreamingLayout(*temporary, *original) : std::nullopt;
    const std::string_view bytes =
        layout ? std::string_view(reinterpret_cast<const char*>(layout->data()), layout->size()) : std::string_view();
    if (!layout || !WriteFileAtomically(path, bytes)) {
        return fail(kRemuxFailedText);
    }
    std::remove(temporary->c_str());
    DropPendingPath(*temporary);
    return true;
}

}  // namespace kvt
