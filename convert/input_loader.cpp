#include "convert/input_loader.h"

#include <cstdio>
#include <new>
#include <optional>
#include <vector>

#include "Module/General/General/GeneralFile.h"
#include "convert/conversion_host.h"
#include "convert/input_kinds.h"
#include "engine/engine_message.h"
#include "input/compressed_input.h"
#include "input/pcm_decoder.h"
#include "input/wave_file.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/message.h"
#include "platform/paths.h"
#include "platform/regular_file.h"

namespace kvt {
namespace {

constexpr std::string_view kAskMp3DecoderText = "MP3をWAVファイルに変換するための外部プログラムを指定してください。";
constexpr std::string_view kNoSuchFileText = "指定されたファイルが存在しません。";
constexpr std::string_view kMp3FailedText = "MP3の変換に失敗しました。MP3のエンコーダの指定をクリアしますか？";
constexpr std::string_view kBrokenFileText =
    "ファイルが異常です。CDからの抽出の場合は、CDをトレイに入れなおして再試行してください。";
constexpr std::string_view kBadLayoutText = "error";

constexpr uint16_t kWaveFormatExtensible = 0xFFFE;
constexpr uint16_t kWaveFormatPcm = 1;
constexpr int kCannotOpenCode = 2;  // WaveFile's "ファイルが開けませんでした。"

bool DecodeMp3(const std::string& path, const std::string& wavPath, Settings& settings) {
    if (settings.mp3DecoderPath.empty()) {
        ShowMessage(kAskMp3DecoderText, kApplicationTitle, MessageButtons::Ok, true);
        const std::optional<std::string> chosen = CurrentDialogs().ChooseProgram();
        if (!chosen) {
            if (!GneCanOpen(settings.mp3DecoderPath)) {
                settings.mp3DecoderPath.clear();
                ShowMessage(kNoSuchFileText, kApplicationTitle, MessageButtons::Ok, true);
            }
            return false;
        }
        settings.mp3DecoderPath = *chosen;
    }
    std::remove(wavPath.c_str());
    if (DecodeWithExternalProgram(settings.mp3DecoderPath, path, wavPath) == 1) return true;
    if (ShowMessage(kMp3FailedText, kApplicationTitle, MessageButtons::OkCancel, true) == MessageAnswer::Ok)
        settings.mp3DecoderPath.clear();
    return false;
}

// An MP3 input: the user's decoder program when one is chosen, otherwise in-process; when
// that finds no audio the window asks for a program, kvt-convert says it cannot decode.
bool ReadMp3(const std::string& path, Settings& settings, const LoadOptions& options, WaveFile& wave) {
    if (settings.mp3DecoderPath.empty()) {
        if (!options.askForMp3Decoder) return DecodeWithGraph(path, wave);
        if (DecodeAudioToWave(path, wave) == DecodeOutcome::Decoded) return true;
    }
    std::string decoded = DecodedWavPath(settings.workFolder);
    return DecodeMp3(path, decoded, settings) && wave.Load(decoded);
}

// A ".wav" that is really an MP3, FLAC or Ogg file (renamed, or saved by a program that
// names everything so) is read by what it is, after the box that said it is not RIFF.
bool ReadWav(const std::string& path, WaveFile& wave) {
    if (wave.Load(path)) return true;
    if (!wave.WasNotRiff()) return false;
    if (DecodeAudioToWave(path, wave) == DecodeOutcome::Decoded) return true;
    ShowMessage(kCannotConvertText);
    return false;
}

// The input as it stands in `wave`, or false after a message. In-process decoding goes
// straight to memory; only an external decoder program leaves "sample.wav" behind.
bool ReadInput(const std::string& path, Settings& settings, const LoadOptions& options, WaveFile& wave) {
    switch (ReaderForPath(path)) {
    case InputReader::Wave: return ReadWav(path, wave);
    case InputReader::Mp3: return ReadMp3(path, settings, options, wave);
    case InputReader::Decoder: return DecodeWithGraph(path, wave);
    case InputReader::Unknown: break;
    }
    ShowMessage(kCannotConvertText);
    return false;
}

// Brings the input to 16-bit linear PCM in one or two channels with a header that says so:
// what the scratch file "tempkvt.wav" holds, whatever the input was (G.711 codes and more
// than two channels included). False after a message.
bool NormalizeInput(WaveFile& wave) {
    if (!HasUsableSampleRate(wave) || !NormalizeTo16Bits(wave)) return false;
    if (wave.channels > 2 && !wave.MixDownToStereo()) {
        ShowMessage(kBadLayoutText);
        return false;
    }
    // A WAVE_FORMAT_EXTENSIBLE header carries integer PCM here (other formats were refused
    // above); the scratch file's 16-byte "fmt " has no room for the sub-format. The frame
    // size and byte rate are those of the samples now held, whatever the header claimed.
    if (wave.formatTag == kWaveFormatExtensible) wave.formatTag = kWaveFormatPcm;
    wave.blockAlign = static_cast<uint16_t>(2 * wave.channels);
    wave.byteRate = wave.sampleRate * wave.blockAlign;
    // The RIFF size field must hold the whole file less 8 bytes.
    if (wave.SavedSize() < wave.SampleBytes()) {
        WaveFile::ShowMessage(kCannotOpenCode);
        return false;
    }
    return true;
}

// "tempkvt.wav": a scratch copy, so it is not waited onto the disk.
bool WriteScratchFile(const std::string& path, const WaveFile& wave) {
    const std::vector<uint8_t> header = wave.SavedHeader();
    const std::string_view pieces[] = {{reinterpret_cast<const char*>(header.data()), header.size()},
                                       {reinterpret_cast<const char*>(wave.Samples().data()), wave.SampleBytes()}};
    return WriteFileAtomically(path, pieces, Durability::Scratch);
}

}  // namespace

std::string ScratchWavPath(const std::string& workFolder) {
    return JoinPath(workFolder, "tempkvt.wav");
}

std::string DecodedWavPath(const std::string& workFolder) {
    return JoinPath(workFolder, "sample.wav");
}

void RemoveScratchWav(const std::string& workFolder) {
    std::remove(ScratchWavPath(workFolder).c_str());
}

bool LoadInputFile(const std::string& path, LoadedInput& input, Settings& settings, const LoadOptions& options) {
    // Whatever this load decodes into "sample.wav" has served once the samples are in
    // memory, or once the load has failed.
    const std::string decoded = DecodedWavPath(settings.workFolder);
    struct DecodedCopyRemover {
        const std::string& decoded;
        std::optional<int64_t> before = ChangeStamp(decoded);
        ~DecodedCopyRemover() {
            if (ChangeStamp(decoded) != before) std::remove(decoded.c_str());
        }
    } remover{decoded};
    try {
        // A named pipe, device or folder is turned away before anything opens it: reading
        // one could wait forever.
        if (CheckRegularFile(path) == FileCheck::NotRegular) {
            ShowMessage(kCannotConvertText);
            return false;
        }
        WaveFile wave;
        if (!ReadInput(path, settings, options, wave) || !NormalizeInput(wave)) return false;
        if (options.writeScratchFile && !WriteScratchFile(ScratchWavPath(settings.workFolder), wave)) {
            WaveFile::ShowMessage(kCannotOpenCode);
            return false;
        }

        // What the engine takes: 16-bit linear PCM, some of it, in one or two channels.
        if (wave.formatTag != kWaveFormatPcm) {
            ShowMessage(kNotPcmText);
            return false;
        }
        if (wave.SampleBytes() == 0) {
            ShowMessage(kBrokenFileText);
            return false;
        }
        if ((wave.channels != 1 && wave.channels != 2) || wave.sampleRate == 0) {
            ShowMessage(kBadLayoutText);
            return false;
        }
        const FormatBlock held = FormatBlock::Pcm16(wave.channels, wave.sampleRate);

        input.pcm = wave.TakeSamples();
        input.pcm.resize(input.pcm.size() / (2u * held.channels) * (2u * held.channels));
        input.format = held;
        input.inputPath = path;
        input.isLoaded = true;
        input.totalFrames = static_cast<uint32_t>(input.pcm.size() / (2u * held.channels));
        input.startFrame = 0;
        input.endFrame = input.totalFrames;
        return true;
    } catch (const std::bad_alloc&) {
        ShowErrorMsg(2);
        input.pcm.clear();
        input.pcm.shrink_to_fit();
        input.isLoaded = false;
        input.totalFrames = 0;
        input.startFrame = input.endFrame = 0;
        return false;
    }
}

}  // namespace kvt
