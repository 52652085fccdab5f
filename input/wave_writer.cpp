#include "input/wave_writer.h"

#include <cerrno>
#include <limits>
#include <span>
#include <string_view>
#include <vector>

#include "engine/byte_order.h"
#include "platform/message.h"

namespace kvt {
namespace {

constexpr std::string_view kAlreadyOpenText = "ファイルはオープン済みです。";
constexpr std::string_view kNoFileNameText = "ファイル名がありません。";
constexpr std::string_view kNotCreatedText = "ファイルの作成に失敗しました。";
constexpr std::string_view kRiffNotWrittenText = "リフチャンクの作成に失敗しました。";
constexpr std::string_view kFormatHeaderNotWrittenText = "フォーマットチャンクの作成に失敗しました。";
constexpr std::string_view kFormatNotWrittenText = "フォーマットチャンクの書き込みに失敗しました。";
constexpr std::string_view kDataHeaderNotWrittenText = "データチャンクの作成に失敗しました。";
constexpr std::string_view kWriteFailedText = "データの書き込みに失敗しました。";
constexpr std::string_view kCloseFailedText = "ファイルのクローズに失敗しました。";

constexpr uint32_t kFormatRecordSize = 18;  // PCM record plus the extra-size field
constexpr uint64_t kRiffSizeOffset = 4;
constexpr uint64_t kDataSizeOffset = 12 + 8 + kFormatRecordSize + 4;
constexpr uint64_t kDataOffset = kDataSizeOffset + 4;  // the first sample byte
// Bytes the RIFF size counts besides the sample data and its pad: "WAVE", the "fmt "
// chunk and the "data" chunk header.
constexpr uint64_t kRiffOverhead = 4 + 8 + kFormatRecordSize + 8;
constexpr uint64_t kMaxDataBytes = std::numeric_limits<uint32_t>::max() - kRiffOverhead - 1;

struct ErrnoResult {
    int error;
    int result;
};
// Why a file could not be created, as the result Open hands back.
constexpr ErrnoResult kOpenFailures[] = {
    {ENOENT, kWavePathNotFound},     {ENOTDIR, kWavePathNotFound},    {EACCES, kWaveAccessDenied},
    {EPERM, kWaveAccessDenied},      {EROFS, kWaveAccessDenied},      {EISDIR, kWaveAccessDenied},
    {EMFILE, kWaveTooManyOpenFiles}, {ENFILE, kWaveTooManyOpenFiles}, {ENOMEM, kWaveOutOfMemory},
};

int OpenFailureResult(int error) {
    for (const ErrnoResult& failure : kOpenFailures)
        if (failure.error == error) return failure.result;
    return kWaveCannotOpen;
}

bool PatchLe32(OutputFile& file, uint64_t offset, uint32_t value) {
    std::vector<uint8_t> bytes;
    PutLe32(bytes, value);
    return file.WriteAt(offset, bytes);
}

WaveResult Fail(std::string_view message, int code) {
    ShowMessage(message);
    return {code};
}

}  // namespace

WaveWriter::~WaveWriter() {
    // A writer dropped while open still gets its sizes filled in rather than leaving a
    // file that claims to hold no samples.
    (void)Close();
}

WaveResult WaveWriter::Open(const std::string& fileName, uint32_t sampleRate, uint16_t bitsPerSample,
                            uint16_t channels) {
    if (file_.IsOpen()) return Fail(kAlreadyOpenText, kWaveCannotOpen);
    if (fileName.empty()) return Fail(kNoFileNameText, kWaveFileNotFound);
    if (const int error = file_.Create(fileName); error != 0) return Fail(kNotCreatedText, OpenFailureResult(error));
    headerComplete_ = false;

    std::vector<uint8_t> riff;
    PutText(riff, "RIFF");
    PutLe32(riff, 0);  // RIFF size, filled in by Close
    PutText(riff, "WAVE");
    if (!file_.Append(riff)) return Fail(kRiffNotWrittenText, kWaveCannotWrite);

    std::vector<uint8_t> fmtHeader;
    PutText(fmtHeader, "fmt ");
    PutLe32(fmtHeader, kFormatRecordSize);
    if (!file_.Append(fmtHeader)) return Fail(kFormatHeaderNotWrittenText, kWaveCannotWrite);

    const uint32_t bytesPerSample = bitsPerSample / 8u;
    std::vector<uint8_t> format;
    PutLe16(format, 1);  // format tag: PCM
    PutLe16(format, channels);
    PutLe32(format, sampleRate);
    PutLe32(format, bytesPerSample * channels * sampleRate);            // byte rate
    PutLe16(format, static_cast<uint16_t>(bytesPerSample * channels));  // block align
    PutLe16(format, bitsPerSample);
    PutLe16(format, 0);  // extra size
    if (!file_.Append(format)) return Fail(kFormatNotWrittenText, kWaveCannotWrite);

    std::vector<uint8_t> dataHeader;
    PutText(dataHeader, "data");
    PutLe32(dataHeader, 0);  // "data" size, filled in by Close
    if (!file_.Append(dataHeader)) return Fail(kDataHeaderNotWrittenText, kWaveCannotWrite);
    headerComplete_ = true;
    return {};
}

uint64_t WaveWriter::DataBytes() const {
    return file_.Size() > kDataOffset ? file_.Size() - kDataOffset : 0;
}

WaveResult WaveWriter::Write(const void* data, size_t count) {
    // Beyond this the RIFF size field could not describe the file.
    if (!file_.IsOpen() || !headerComplete_ || count > kMaxDataBytes - DataBytes() || (count > 0 && !data))
        return Fail(kWriteFailedText, kWaveCannotWrite);
    if (!file_.Append(std::span(static_cast<const uint8_t*>(data), count)))
        return Fail(kWriteFailedText, kWaveCannotWrite);
    return {};
}

WaveResult WaveWriter::Close() {
    if (!file_.IsOpen()) return {};
    int result = 0;
    // Sizes are filled in only behind a complete header; a file whose Open failed half-way
    // is just closed.
    if (headerComplete_) {
        const uint64_t dataBytes = DataBytes();
        const uint32_t pad = dataBytes % 2;  // RIFF chunks end on an even offset
        const auto dataSize = static_cast<uint32_t>(dataBytes);
        const uint8_t padByte[1] = {0};
        if (!file_.Append(std::span(padByte, pad)) || !file_.Flush() || !PatchLe32(file_, kDataSizeOffset, dataSize) ||
            !PatchLe32(file_, kRiffSizeOffset, static_cast<uint32_t>(kRiffOverhead + dataSize + pad)))
            result = kWaveCannotWrite;
    }
    if (file_.Close() != 0 && result == 0) result = kWaveCannotClose;
    headerComplete_ = false;
    if (result != 0) ShowMessage(kCloseFailedText);
    return {result};
}

}  // namespace kvt
