#include "convert/input_loader.h"

#include <cstdio>
#include <new>
#include <optional>
#include <vector>

#include "Module/General/General/GeneralFile.h"
#include "convert/conversion_host.h"
#include "convert/input_kinds.h"
#include "engine/engine_file.h"
#include "input/compressed_input.h"
#include "input/pcm_decoder.h"
#include "input/wave_file.h"
#include "platform/message.h"
#include "platform/paths.h"
#include "platform/regular_file.h"

namespace kvt {
namespace {

constexpr std::string_view kCannotConvertText = "このファイルは変換できません。";
constexpr std::string_view kAskMp3DecoderText = "MP3をWAVファイルに変換するための外部プログラムを指定してください。";
constexpr std::string_view kNoSuchFileText = "指定されたファイルが存在しません。";
constexpr std::string_view kMp3FailedText = "MP3の変換に失敗しました。MP3のエンコーダの指定をクリアしますか？";
constexpr std::string_view kBrokenFileText =
    "ファイルが異常です。CDからの抽出の場合は、CDをトレイに入れなおして再試行してください。";
constexpr std::string_view kBadLayoutText = "error";
constexpr const char* kProgramFilter = "exe files|*.exe|";

constexpr uint16_t kWaveFormatExtensible = 0xFFFE;
constexpr uint16_t kWaveFormatPcm = 1;
constexpr int kCannotOpenCode = 2;  // WaveFile's "ファイルが開けませんでした。"

bool DecodeMp3(const std::string& path, const std::string& wavPath, Settings& settings) {
    if (settings.mp3DecoderPath.empty()) {
        ShowMessage(kAskMp3DecoderText, kApplicationTitle, MessageButtons::Ok, true);
        if (GneOpenFileDialog("exe", kProgramFilter, settings.mp3DecoderPath) != 1) {
            if (!GneCanOpen(settings.mp3DecoderPath)) {
                settings.mp3DecoderPath.clear();
                ShowMessage(kNoSuchFileText, kApplicationTitle, MessageButtons::Ok, true);
            }
            return false;
        }
    }
    std::remove(wavPath.c_str());
    if (DecodeWithExternalProgram(settings.mp3DecoderPath, path, wavPath) == 1) return true;
    if (ShowMessage(kMp3FailedText, kApplicationTitle, MessageButtons::OkCancel, true) == MessageAnswer::Ok)
        settings.mp3DecoderPath.clear();
    return false;
}

// The input decoded in-process into "sample.wav", or nothing after a message.
std::optional<std::string> DecodedInProcess(const std::string& path, const Settings& settings) {
    std::string decoded = DecodedWavPath(settings.workFolder);
    if (DecodeWithGraph(path, decoded) != 1) return std::nullopt;
    return decoded;
}

// An MP3 input: the user's decoder program when one is chosen, otherwise in-process; when
// that finds no audio the window asks for a program, kvt-convert says it cannot decode.
std::optional<std::string> DecodedMp3(const std::string& path, Settings& settings, const LoadOptions& options) {
    std::string decoded = DecodedWavPath(settings.workFolder);
    if (settings.mp3DecoderPath.empty()) {
        if (!options.askForMp3Decoder) return DecodedInProcess(path, settings);
        switch (DecodeAudioToWav(path, decoded)) {
        case DecodeOutcome::Decoded: return decoded;
        case DecodeOutcome::WriteFailed: return std::nullopt;  // the writer has said why
        case DecodeOutcome::NoAudio: break;
        }
    }
    if (!DecodeMp3(path, decoded, settings)) return std::nullopt;
    return decoded;
}

// The WAV file the input is read from, or nothing after a message.
std::optional<std::string> SourceWav(const std::string& path, Settings& settings, const LoadOptions& options) {
    switch (ReaderForPath(path)) {
    case InputReader::Wave: return path;
    case InputReader::Mp3: return DecodedMp3(path, settings, options);
    case InputReader::Decoder: return DecodedInProcess(path, settings);
    case InputReader::Unknown: break;
    }
    ShowMessage(kCannotConvertText);
    return std::nullopt;
}

// Reads the source and brings it to 16-bit linear PCM in one or two channels: the image of
// the scratch file "tempkvt.wav", which is that whatever the input was (G.711 codes and more
// than two channels included). Nothing after a message.
std::optional<std::vector<uint8_t>> ScratchImage(const std::string& sourcePath, const Settings& settings) {
    WaveFile wave;
    if (!wave.Load(sourcePath)) {
        // A ".wav" that is really an MP3, FLAC or Ogg file (renamed, or saved by a program
        // that names everything so) is read by what it is, after the box that said so.
        if (!wave.WasNotRiff() || sourcePath == DecodedWavPath(settings.workFolder)) return std::nullopt;
        std::string decoded = DecodedWavPath(settings.workFolder);
        if (DecodeAudioToWav(sourcePath, decoded) != DecodeOutcome::Decoded) {
            ShowMessage(kCannotConvertText);
            return std::nullopt;
        }
        if (!wave.Load(decoded)) return std::nullopt;
    }
    if (!HasUsableSampleRate(wave) || !NormalizeTo16Bits(wave)) return std::nullopt;
    if (wave.channels > 2 && !wave.MixDownToStereo()) {
        ShowMessage(kBadLayoutText);
        return std::nullopt;
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
        return std::nullopt;
    }
    return wave.SavedBytes();
}

}  // namespace

std::string ScratchWavPath(const std::string& workFolder) {
    return JoinPath(workFolder, "tempkvt.wav");
}

std::string DecodedWavPath(const std::string& workFolder) {
    return JoinPath(workFolder, "sample.wav");
}

bool LoadInputFile(const std::string& path, LoadedInput& input, Settings& settings, const LoadOptions& options) {
    try {
        // A named pipe, device or folder is turned away before anything opens it: reading
        // one could wait forever.
        if (CheckRegularFile(path) == FileCheck::NotRegular) {
            ShowMessage(kCannotConvertText);
            return false;
        }
        auto source = SourceWav(path, settings, options);
        if (!source) return false;
        std::optional<std::vector<uint8_t>> image = ScratchImage(*source, settings);
        if (!image) return false;
        if (options.writeScratchFile &&
            !WriteFileAtomically(ScratchWavPath(settings.workFolder),
                                 {reinterpret_cast<const char*>(image->data()), image->size()})) {
            WaveFile::ShowMessage(kCannotOpenCode);
            return false;
        }

        // The file's bytes, read from memory rather than back from the disk.
        EngineFile loaded;
        loaded.image = std::move(*image);
        loaded.imageSize = static_cast<uint32_t>(loaded.image.size());
        if (!loaded.ReadWave()) return false;
        if (loaded.dataSize == 0 || loaded.data.empty()) {
            ShowMessage(kBrokenFileText);
            return false;
        }
        const FormatBlock& format = loaded.format;
        if ((format.channels != 1 && format.channels != 2) || format.sampleRate == 0) {
            ShowMessage(kBadLayoutText);
            return false;
        }
        // What is held is 16-bit linear PCM whatever the file's header said (G.711 inputs).
        FormatBlock held = FormatBlock::Pcm16(format.channels, format.sampleRate);
        held.extraSize = format.extraSize;
        held.spare = format.spare;

        input.pcm = std::move(loaded.data);
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
