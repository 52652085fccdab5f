#include "input/wave_writer.h"

#include <cerrno>
#include <limits>
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
constexpr long kRiffSizeOffset = 4;
constexpr long kDataSizeOffset = 12 + 8 + kFormatRecordSize + 4;
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

bool WriteAll(std::FILE* file, const std::vector<uint8_t>& bytes) {
    return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

bool PatchLe32(std::FILE* file, long offset, uint32_t value, int& result) {
    std::vector<uint8_t> bytes;
    PutLe32(bytes, value);
    if (std::fseek(file, offset, SEEK_SET) != 0) {
        result = kWaveCannotSeek;
        return false;
    }
    if (!WriteAll(file, bytes)) {
        result = kWaveCannotWrite;
        return false;
    }
    return true;
}

int Fail(std::string_view message, int result) {
    ShowMessage(message);
    return result;
}

}  // namespace

WaveWriter::~WaveWriter() {
    // A writer dropped while open still gets its sizes filled in rather than leaving a
    // file that claims to hold no samples.
    Close();
}

int WaveWriter::Open(const std::string& fileName, uint32_t sampleRate, uint16_t bitsPerSample, uint16_t channels) {
    if (file_) return Fail(kAlreadyOpenText, kWaveCannotOpen);
    if (fileName.empty()) return Fail(kNoFileNameText, kWaveFileNotFound);
    errno = 0;
    file_ = std::fopen(fileName.c_str(), "wb");
    if (!file_) return Fail(kNotCreatedText, OpenFailureResult(errno));
    dataBytes_ = 0;
    headerComplete_ = false;

    if (std::fseek(file_, 0, SEEK_SET) != 0) return Fail(kRiffNotWrittenText, kWaveCannotSeek);
    std::vector<uint8_t> riff;
    PutText(riff, "RIFF");
    PutLe32(riff, 0);  // RIFF size, filled in by Close
    PutText(riff, "WAVE");
    if (!WriteAll(file_, riff)) return Fail(kRiffNotWrittenText, kWaveCannotWrite);

    std::vector<uint8_t> fmtHeader;
    PutText(fmtHeader, "fmt ");
    PutLe32(fmtHeader, kFormatRecordSize);
    if (!WriteAll(file_, fmtHeader)) return Fail(kFormatHeaderNotWrittenText, kWaveCannotWrite);

    const uint32_t bytesPerSample = bitsPerSample / 8u;
    std::vector<uint8_t> format;
    PutLe16(format, 1);  // format tag: PCM
    PutLe16(format, channels);
    PutLe32(format, sampleRate);
    PutLe32(format, bytesPerSample * channels * sampleRate);            // byte rate
    PutLe16(format, static_cast<uint16_t>(bytesPerSample * channels));  // block align
    PutLe16(format, bitsPerSample);
    PutLe16(format, 0);  // extra size
    if (!WriteAll(file_, format)) return Fail(kFormatNotWrittenText, kWaveCannotWrite);

    std::vector<uint8_t> dataHeader;
    PutText(dataHeader, "data");
    PutLe32(dataHeader, 0);  // "data" size, filled in by Close
    if (!WriteAll(file_, dataHeader)) return Fail(kDataHeaderNotWrittenText, kWaveCannotWrite);
    headerComplete_ = true;
    return 0;
}

bool WaveWriter::Write(const void* data, size_t count) {
    // Beyond this the RIFF size field could not describe the file.
    if (!file_ || count > kMaxDataBytes - dataBytes_ || (count > 0 && !data)) {
        ShowMessage(kWriteFailedText);
        return false;
    }
    const size_t written = std::fwrite(data, 1, count, file_);
    dataBytes_ += written;
    if (written != count) {
        ShowMessage(kWriteFailedText);
        return false;
    }
    return true;
}

int WaveWriter::Close() {
    if (!file_) return 0;
    std::FILE* file = file_;
    file_ = nullptr;

    int result = 0;
    // Sizes are filled in only behind a complete header; a file whose Open failed half-way
    // is just closed.
    bool ok = headerComplete_;
    const uint32_t pad = dataBytes_ % 2;  // RIFF chunks end on an even offset
    const auto dataSize = static_cast<uint32_t>(dataBytes_);
    if (ok && std::fflush(file) != 0) {
        result = kWaveCannotWrite;
        ok = false;
    }
    if (ok && std::fseek(file, 0, SEEK_END) != 0) {
        result = kWaveCannotSeek;
        ok = false;
    }
    if (ok && pad && std::fputc(0, file) == EOF) {
        result = kWaveCannotWrite;
        ok = false;
    }
    if (ok && PatchLe32(file, kDataSizeOffset, dataSize, result))
        PatchLe32(file, kRiffSizeOffset, static_cast<uint32_t>(kRiffOverhead + dataSize + pad), result);
    if (result == 0 && std::fflush(file) != 0) result = kWaveCannotWrite;
    if (std::fclose(file) != 0 && result == 0) result = kWaveCannotClose;
    if (result != 0) ShowMessage(kCloseFailedText);
    return result;
}

}  // namespace kvt
