#include "input/compressed_input.h"

#include "input/pcm_decoder.h"
#include "platform/message.h"
#include "platform/process.h"
#include "platform/regular_file.h"

namespace kvt {
namespace {

constexpr std::string_view kUnplayableText =
    "変換中にエラーが発生しました。\nWMAファイルの場合は、著作権情報が入っている可能性があります。\n"
    "ＣＤからＷＡＶとして抽出して変換してください。";
constexpr std::string_view kDecoderMissingText = "エンコーダが見つかりませんでした。";
constexpr const char* kDecodeParameters = " --decode \"%s\" \"%s\" ";

bool IsRegularFile(const std::string& path) {
    return CheckRegularFile(path) == FileCheck::Regular;
}

}  // namespace

int DecodeWithGraph(const std::string& inputPath, const std::string& outputPath) {
    switch (DecodeAudioToWav(inputPath, outputPath)) {
    case DecodeOutcome::Decoded: return 1;
    case DecodeOutcome::NoAudio: ShowMessage(kUnplayableText); return 0;
    case DecodeOutcome::WriteFailed: return 0;  // the writer has said why
    }
    return 0;
}

bool DecodeWithGraph(const std::string& inputPath, WaveFile& wave) {
    if (DecodeAudioToWave(inputPath, wave) == DecodeOutcome::Decoded) return true;
    ShowMessage(kUnplayableText);
    return false;
}

int DecodeWithExternalProgram(std::string& decoderPath, const std::string& inputPath, const std::string& outputPath,
                              std::chrono::milliseconds wait) {
    if (decoderPath.empty() || !IsRegularFile(decoderPath)) {
        ShowMessage(kDecoderMissingText, kApplicationTitle, MessageButtons::Ok, true);
        decoderPath.clear();
        return 0;
    }
    if (!IsRegularFile(inputPath)) return 0;
    std::vector<std::string> arguments =
        FillParameterTemplate(kDecodeParameters, {FileArgument(inputPath), FileArgument(outputPath)});
    LaunchResult launch = RunProgram(FileArgument(decoderPath), arguments, wait);
    if (launch.outcome == LaunchOutcome::NotStarted) return 0;
    return IsRegularFile(outputPath) ? 1 : 0;
}

}  // namespace kvt
