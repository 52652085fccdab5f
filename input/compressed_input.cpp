#include "input/compressed_input.h"

#include <cstdio>
#include <fstream>

#include "input/pcm_decoder.h"
#include "platform/message.h"
#include "platform/process.h"

namespace kvt {
namespace {

constexpr const char* kUnplayableMessage =
    "変換中にエラーが発生しました。\nWMAファイルの場合は、著作権情報が入っている可能性があります。\n"
    "ＣＤからＷＡＶとして抽出して変換してください。";
constexpr const char* kDecoderMissingMessage = "エンコーダが見つかりませんでした。";
constexpr const char* kDecodeParameters = " --decode \"%s\" \"%s\" ";

bool CanOpenForReading(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return file.is_open();
}

}  // namespace

int DecodeWithGraph(const std::string& inputPath, const std::string& outputPath) {
    switch (DecodeAudioToWav(inputPath, outputPath)) {
        case DecodeOutcome::Decoded: return 1;
        case DecodeOutcome::NoAudio: ShowMessage(kUnplayableMessage); return 0;
        case DecodeOutcome::WriteFailed: return 0;  // the writer has said why
    }
    return 0;
}

int DecodeWithExternalProgram(std::string& decoderPath, const std::string& inputPath,
                              const std::string& outputPath, std::chrono::milliseconds wait) {
    if (decoderPath.empty() || !CanOpenForReading(decoderPath)) {
        ShowMessage(kDecoderMissingMessage, kApplicationTitle, MessageButtons::Ok, true);
        decoderPath.clear();
        return 0;
    }
    if (!CanOpenForReading(inputPath)) return 0;
    std::vector<std::string> arguments = FillParameterTemplate(kDecodeParameters, {inputPath, outputPath});
    LaunchResult launch = RunProgram(decoderPath, arguments, wait);
    if (launch.outcome == LaunchOutcome::NotStarted) return 0;
    return CanOpenForReading(outputPath) ? 1 : 0;
}

}  // namespace kvt
