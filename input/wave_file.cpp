#include "input/wave_file.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>

#include "engine/byte_order.h"
#include "engine/g711.h"
#include "platform/failure_cause.h"
#include "platform/message.h"
#include "platform/paths.h"
#include "platform/regular_file.h"

namespace kvt {
namespace {

constexpr size_t kChunkHeaderSize = 8;  // identifier + u32 size
constexpr size_t kPcmRecordSize = 16;   // formatTag ... bitsPerSample
constexpr uint32_t kCanonicalHeaderSize = 44;
constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr size_t kChannelMaskOffset = 20;  // in an extensible "fmt " body: speaker positions
constexpr size_t kSubFormatOffset = 24;    // in an extensible "fmt " body: the GUID, tag first
constexpr uint16_t kFormatIeeeFloat = 3;
constexpr uint16_t kFormatALaw = 6;
constexpr uint16_t kFormatMuLaw = 7;
// Data sizes that stand for "length unknown" rather than a length: what a writer puts
// before it knows (a pipe, a decoder still running).
constexpr uint32_t kUnknownLengthSize = 0x7FFFFFFF;

// Chunks that may stand before "fmt ", skipped in this order, each at most once.
constexpr std::array<std::string_view, 4> kLeadingChunks = {"PAD ", "bext", "minf", "elm1"};
// Chunks skipped without a word between "fmt " and "data" until the first unknown one.
constexpr std::array<std::string_view, 11> kKnownChunks = {"PAD ", "bext", "minf", "elm1", "vphd", "sav1",
                                                           "pad ", "elmo", "regn", "ovwf", "umid"};
// Tags and other lists ("LIST" with "INFO", "adtl", ...) that every editor and FFmpeg
// write: skipped anywhere before "data", never reported.
constexpr std::string_view kListChunk = "LIST";

constexpr std::array<std::string_view, 5> kMessageTexts = {
    "ファイルが見つかりませんでした。", "不明なタグが検出されました。",
    "ファイルが開けませんでした。",     "フォーマットが違う音声ファイルを処理しようとしました。",
    "ビット数を変更しました。",
};
constexpr std::string_view kUnknownTagText = "不明なタグが検出されました。処理は継続可能です。";
constexpr std::string_view kUnsupportedBitsText = "対応していないビット数のWAVファイルです。";
constexpr std::string_view kUnsupportedRateText = "対応していないサンプリング周波数のWAVファイルです。";
constexpr char kCutShortFormat[] = "ファイルが途中で切れています。ヘッダーでは%.1f秒ですが、読み込めたのは%.1f秒です。";

ChunkId ToChunkId(std::span<const uint8_t> bytes) {
    ChunkId id{};
    std::copy_n(bytes.begin(), id.size(), id.begin());
    return id;
}

std::string_view View(const ChunkId& id) {
    return {id.data(), id.size()};
}

struct ChunkHeader {
    ChunkId id;
    uint32_t size;
};

// Walks the chunks of a file image. Offsets are 64-bit, so no size from the file can
// wrap them, and nothing is read beyond the image.
class ChunkCursor {
public:
    ChunkCursor(std::span<const uint8_t> file, uint64_t at) : file_(file), at_(at) {}

    // The header at the cursor, or nothing when fewer than 8 bytes are left.
    std::optional<ChunkHeader> Header() const {
        if (at_ > file_.size() || file_.size() - at_ < kChunkHeaderSize) return std::nullopt;
        auto bytes = file_.subspan(at_, kChunkHeaderSize);
        return ChunkHeader{ToChunkId(bytes), GetLe32(bytes.subspan(4))};
    }

    // The chunk's body, or nothing when it runs past the end of the file.
    std::optional<std::span<const uint8_t>> Body(const ChunkHeader& chunk) const {
        const uint64_t start = at_ + kChunkHeaderSize;
        if (start + chunk.size > file_.size()) return std::nullopt;
        return file_.subspan(start, chunk.size);
    }

    // Everything after the chunk's header, to the end of the file.
    std::span<const uint8_t> Rest() const { return file_.subspan(at_ + kChunkHeaderSize); }

    // Moves past the chunk (its size as it stands, no pad byte); false when the chunk runs
    // past the end of the file.
    bool Skip(const ChunkHeader& chunk) {
        if (!Body(chunk)) return false;
        at_ += kChunkHeaderSize + uint64_t{chunk.size};
        return true;
    }

private:
    std::span<const uint8_t> file_;
    uint64_t at_;
};

bool IsOneOf(std::string_view id, std::span<const std::string_view> ids) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

bool Matches(std::span<const uint8_t> file, size_t at, std::string_view id) {
    return file.size() >= at + id.size() && std::equal(id.begin(), id.end(), file.begin() + at);
}

void PutInt16(std::span<uint8_t> out, size_t index, int value) {
    SetLe16(out.subspan(2 * index), static_cast<uint16_t>(static_cast<int16_t>(value)));
}

// The upper two bytes of each whole little-endian sample `width` bytes wide: 16 bits of it,
// cut without rounding.
std::vector<uint8_t> UpperTwoBytes(std::span<const uint8_t> samples, size_t width) {
    const size_t count = samples.size() / width;
    std::vector<uint8_t> out(count * 2);
    for (size_t i = 0; i < count; ++i) {
        out[2 * i] = samples[width * i + width - 2];
        out[2 * i + 1] = samples[width * i + width - 1];
    }
    return out;
}

// Full scale is ±1.0; what lies beyond is clipped, never wrapped round. NaN is silence.
int FloatToInt16(double value) {
    if (!(value == value)) return 0;
    return static_cast<int>(std::lrint(std::clamp(value * 32768.0, -32768.0, 32767.0)));
}

int GetInt16(std::span<const uint8_t> in, size_t index) {
    return static_cast<int16_t>(GetLe16(in.subspan(2 * index)));
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
    RegularFile file(path);
    if (file.Check() != FileCheck::Regular) {
        WaveFile::ShowMessage(0);
        return false;
    }
    try {
        if (file.ReadAll(bytes)) return true;
    } catch (const std::exception&) {  // no memory for the whole file
        NoteFailureCause("cannot hold " + path + " in memory", ENOMEM);
    }
    WaveFile::ShowMessage(2);
    return false;
}

}  // namespace

bool WaveFile::Load(const std::string& path) {
    *this = WaveFile{};
    std::vector<uint8_t> file;
    if (!ReadWholeFile(path, file)) return false;
    return LoadFromMemory(file);
}

bool WaveFile::LoadFromMemory(std::span<const uint8_t> file) {
    *this = WaveFile{};
    auto refuse = [](std::string_view tag) {
        ShowTagMessage(1, tag);
        return false;
    };

    if (file.size() >= 4) riffId = ToChunkId(file);
    if (file.size() < 8 || !Matches(file, 0, "RIFF")) {
        notRiff_ = true;
        return refuse("RIFF");
    }
    riffSize = GetLe32(file.subspan(4));
    if (file.size() >= 12) formType = ToChunkId(file.subspan(8));
    if (!Matches(file, 8, "WAVE")) return refuse("WAVE");

    ChunkCursor cursor(file, 12);
    // The header at the cursor after any "LIST" chunks there; nothing when one runs past the end.
    bool listPastTheEnd = false;
    auto headerAfterLists = [&]() -> std::optional<ChunkHeader> {
        auto chunk = cursor.Header();
        while (chunk && View(chunk->id) == kListChunk) {
            if (!cursor.Skip(*chunk)) {
                listPastTheEnd = true;
                return std::nullopt;
            }
            chunk = cursor.Header();
        }
        return chunk;
    };
    for (std::string_view leading : kLeadingChunks) {
        auto chunk = headerAfterLists();
        if (listPastTheEnd) return refuse(kListChunk);
        if (chunk && View(chunk->id) == leading && !cursor.Skip(*chunk)) return refuse(leading);
    }

    auto fmt = headerAfterLists();
    if (listPastTheEnd) return refuse(kListChunk);
    if (!fmt) return refuse("fmt ");
    fmtId = fmt->id;
    fmtSize = fmt->size;
    auto fmtBody = cursor.Body(*fmt);
    if (View(fmtId) != "fmt " || !fmtBody || fmtBody->size() < kPcmRecordSize) return refuse("fmt ");
    formatTag = GetLe16(fmtBody->subspan(0));
    channels = GetLe16(fmtBody->subspan(2));
    sampleRate = GetLe32(fmtBody->subspan(4));
    byteRate = GetLe32(fmtBody->subspan(8));
    blockAlign = GetLe16(fmtBody->subspan(12));
    bitsPerSample = GetLe16(fmtBody->subspan(14));
    // An extensible format names its real format tag at the head of its SubFormat GUID.
    // The saved file has no room for the GUID, so the tag it carries is that one.
    if (formatTag == kFormatExtensible && fmtBody->size() >= kSubFormatOffset + 2) {
        channelMask = GetLe32(fmtBody->subspan(kChannelMaskOffset));
        formatTag = GetLe16(fmtBody->subspan(kSubFormatOffset));
    }
    cursor.Skip(*fmt);

    auto chunk = headerAfterLists();
    if (chunk && View(chunk->id) == "fact") {
        if (chunk->size != 4 || !cursor.Skip(*chunk)) return refuse("fact");
        chunk = headerAfterLists();
    }
    while (chunk && IsOneOf(View(chunk->id), kKnownChunks)) {
        if (!cursor.Skip(*chunk)) return refuse(View(chunk->id));
        chunk = headerAfterLists();
    }
    // From the first unknown chunk on, every chunk before "data" but "LIST" gets its own
    // box. One that runs past the end stops the load after its box.
    while (chunk && View(chunk->id) != "data") {
        ShowTagMessage(1, View(chunk->id));
        if (!cursor.Skip(*chunk)) return false;
        chunk = headerAfterLists();
    }
    if (listPastTheEnd) return refuse(kListChunk);
    if (!chunk) return refuse("data");

    dataId = chunk->id;
    dataSize = chunk->size;
    auto data = cursor.Body(*chunk);
    if (!data) {
        // A "data" chunk that runs past the end belongs to a file still being written (a
        // decoder that has not finished, a WAV sent down a pipe with size 0xFFFFFFFF) or
        // cut short: the whole frames that are there are kept.
        data = cursor.Rest();
        if (blockAlign > 0) data = data->first(data->size() / blockAlign * blockAlign);
        ReportCutShort(data->size());
    }
    try {
        samples_.assign(data->begin(), data->end());
    } catch (const std::bad_alloc&) {
        ShowMessage(2);
        return false;
    }
    loaded_ = true;
    return true;
}

void WaveFile::ReportCutShort(size_t heldBytes) const {
    if (dataSize >= kUnknownLengthSize || blockAlign == 0 || sampleRate == 0) return;
    const uint64_t promisedFrames = dataSize / blockAlign;
    const uint64_t heldFrames = heldBytes / blockAlign;
    if (heldFrames >= promisedFrames) return;
    char text[512];
    std::snprintf(text, sizeof text, kCutShortFormat, static_cast<double>(promisedFrames) / sampleRate,
                  static_cast<double>(heldFrames) / sampleRate);
    kvt::ShowMessage(text);
}

void WaveFile::Convert8To16() {
    if (!loaded_) return;
    std::vector<uint8_t> out(samples_.size() * 2);
    for (size_t i = 0; i < samples_.size(); ++i) PutInt16(out, i, (samples_[i] - 128) * 256);
    samples_ = std::move(out);
    byteRate *= 2;
    blockAlign *= 2;
    bitsPerSample = 16;
}

void WaveFile::Convert24To16() {
    if (!loaded_) return;
    samples_ = UpperTwoBytes(samples_, 3);
    byteRate = static_cast<uint32_t>(uint64_t{byteRate} * 2 / 3);
    blockAlign = static_cast<uint16_t>(blockAlign * 2 / 3);
    bitsPerSample = 16;
}

void WaveFile::Convert32To16() {
    if (!loaded_) return;
    samples_ = UpperTwoBytes(samples_, 4);
    SetPcm16Layout();
}

void WaveFile::ConvertFloatTo16() {
    if (!loaded_ || (bitsPerSample != 32 && bitsPerSample != 64)) return;
    const size_t width = bitsPerSample / 8;
    const size_t count = samples_.size() / width;
    std::vector<uint8_t> out(count * 2);
    for (size_t i = 0; i < count; ++i) {
        const std::span<const uint8_t> in = std::span<const uint8_t>(samples_).subspan(i * width, width);
        const double value =
            width == 4 ? static_cast<double>(std::bit_cast<float>(GetLe32(in))) : std::bit_cast<double>(GetLe64(in));
        PutInt16(out, i, FloatToInt16(value));
    }
    samples_ = std::move(out);
    formatTag = kFormatPcm;
    SetPcm16Layout();
}

void WaveFile::SetPcm16Layout() {
    blockAlign = static_cast<uint16_t>(channels * 2);
    byteRate = static_cast<uint32_t>(uint64_t{sampleRate} * blockAlign);
    bitsPerSample = 16;
}

void WaveFile::ExpandG711() {
    if (!loaded_ || (formatTag != kFormatALaw && formatTag != kFormatMuLaw)) return;
    const bool aLaw = formatTag == kFormatALaw;
    std::vector<uint8_t> out(samples_.size() * 2);
    for (size_t i = 0; i < samples_.size(); ++i)
        PutInt16(out, i, aLaw ? ExpandALaw(samples_[i]) : ExpandMuLaw(samples_[i]));
    samples_ = std::move(out);
    formatTag = kFormatPcm;
    SetPcm16Layout();
}

void WaveFile::MixToMono() {
    if (!loaded_ || channels != 2) return;
    std::vector<uint8_t> out;
    if (bitsPerSample == 8) {
        out.resize(samples_.size() / 2);
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = static_cast<uint8_t>(((samples_[2 * i] - 128) + (samples_[2 * i + 1] - 128)) / 2 + 128);
    } else {
        // Whole frames only: a trailing partial frame has no partner to mix with.
        const size_t frames = samples_.size() / 4;
        out.resize(frames * 2);
        for (size_t i = 0; i < frames; ++i)
            PutInt16(out, i, (GetInt16(samples_, 2 * i) + GetInt16(samples_, 2 * i + 1)) / 2);
    }
    samples_ = std::move(out);
    byteRate >>= 1;
    blockAlign >>= 1;
    channels = 1;
}

uint32_t WaveFile::SavedSize() const {
    return SampleBytes() + kCanonicalHeaderSize;
}

void WaveFile::AdoptPcm16(uint16_t channelCount, uint32_t rate, std::vector<uint8_t> samples) {
    *this = WaveFile{};
    riffId = {'R', 'I', 'F', 'F'};
    formType = {'W', 'A', 'V', 'E'};
    fmtId = {'f', 'm', 't', ' '};
    dataId = {'d', 'a', 't', 'a'};
    fmtSize = kPcmRecordSize;
    formatTag = kFormatPcm;
    channels = channelCount;
    sampleRate = rate;
    SetPcm16Layout();
    samples_ = std::move(samples);
    dataSize = static_cast<uint32_t>(std::min<size_t>(samples_.size(), std::numeric_limits<uint32_t>::max()));
    loaded_ = true;
}

std::vector<uint8_t> WaveFile::TakeSamples() {
    std::vector<uint8_t> taken = std::move(samples_);
    samples_.clear();
    return taken;
}

std::vector<uint8_t> WaveFile::SavedBytes() const {
    std::vector<uint8_t> out = SavedHeader();
    out.reserve(kCanonicalHeaderSize + samples_.size());
    PutBytes(out, samples_);
    return out;
}

std::vector<uint8_t> WaveFile::SavedHeader() const {
    std::vector<uint8_t> out;
    PutText(out, "RIFF");
    PutLe32(out, SampleBytes() + 36);  // RIFF size
    PutText(out, "WAVE");
    PutText(out, "fmt ");
    PutLe32(out, kPcmRecordSize);  // "fmt " size
    PutLe16(out, formatTag);
    PutLe16(out, channels);
    PutLe32(out, sampleRate);
    PutLe32(out, byteRate);
    PutLe16(out, blockAlign);
    PutLe16(out, bitsPerSample);
    PutText(out, "data");
    PutLe32(out, SampleBytes());  // "data" size
    return out;
}

bool WaveFile::Save(const std::string& path) const {
    if (!loaded_) return false;
    // The RIFF size field must hold the whole file less 8 bytes.
    if (samples_.size() > std::numeric_limits<uint32_t>::max() - kCanonicalHeaderSize) {
        ShowMessage(2);
        return false;
    }
    const std::vector<uint8_t> bytes = SavedBytes();
    if (!WriteFileAtomically(path, {reinterpret_cast<const char*>(bytes.data()), bytes.size()})) {
        ShowMessage(2);
        return false;
    }
    return true;
}

void WaveFile::ShowMessage(int code) {
    const bool known = code >= 0 && static_cast<size_t>(code) < kMessageTexts.size();
    kvt::ShowMessage(known ? kMessageTexts[static_cast<size_t>(code)] : std::string_view{});
}

void WaveFile::ShowTagMessage(int kind, std::string_view tag) {
    std::string text(kind == 1 ? kUnknownTagText : std::string_view{});
    text += " [";
    // A tag is shown as four readable characters; bytes that are not printable ASCII (a
    // zero-filled or damaged identifier) show as '?'.
    for (char c : tag) text += (c >= 0x20 && c <= 0x7e) ? c : '?';
    text += ']';
    kvt::ShowMessage(text);
}

bool NormalizeTo16Bits(WaveFile& wave) {
    if (wave.formatTag == kFormatALaw || wave.formatTag == kFormatMuLaw) {
        wave.ExpandG711();  // one code byte a sample, whatever the bit count says
        return true;
    }
    if (wave.formatTag == kFormatIeeeFloat && (wave.bitsPerSample == 32 || wave.bitsPerSample == 64)) {
        wave.ConvertFloatTo16();
        return true;
    }
    switch (wave.bitsPerSample) {
    case 8: wave.Convert8To16(); return true;
    case 16: return true;
    case 20:
    case 24: wave.Convert24To16(); return true;
    case 32: wave.Convert32To16(); return true;
    default: {
        kvt::ShowMessage(std::string(kUnsupportedBitsText) + " [" + std::to_string(wave.bitsPerSample) + "]");
        return false;
    }
    }
}

bool HasUsableSampleRate(const WaveFile& wave) {
    if (wave.sampleRate >= kMinSampleRate && wave.sampleRate <= kMaxSampleRate) return true;
    kvt::ShowMessage(std::string(kUnsupportedRateText) + " [" + std::to_string(wave.sampleRate) + " Hz]");
    return false;
}

}  // namespace kvt
