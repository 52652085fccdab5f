#include "convert/mld_size_fit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/mld_encoder.h"
#include "engine/mld_fit.h"
#include "engine/pcm_fades.h"
#include "platform/message.h"
#include "platform/paths.h"

namespace kvt {
namespace {

constexpr char kShortenedFormat[] = "%s: %d KB に収めるため %.1f 秒に短くしました。";
constexpr char kShortenQuestionHeadFormat[] = "次のファイルは %d KB に収まりません。";
constexpr char kWouldFitFormat[] = "%s: %.1f 秒に短くすれば収まります。";
constexpr std::string_view kShortenQuestionTailText = "短くして保存しますか？";

template <typename... Values>
std::string Format(const char* format, Values... values) {
    char text[1024];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

std::string NameOf(const std::string& path) {
    return std::string(FileNameOfPath(path));
}

}  // namespace

int LimitKb(uint32_t limit) {
    if (limit <= kMldLimit10Kb) return 10;
    if (limit <= kMldLimit20Kb) return 20;
    return 100;
}

std::string ShortenedText(const OverLimitFile& file, uint32_t limit) {
    return Format(kShortenedFormat, NameOf(file.path).c_str(), LimitKb(limit), file.fittingSeconds);
}

std::string ShortenQuestionText(const std::vector<OverLimitFile>& files, uint32_t limit) {
    std::string text = Format(kShortenQuestionHeadFormat, LimitKb(limit));
    for (const OverLimitFile& file : files)
        text += "\n" + Format(kWouldFitFormat, NameOf(file.path).c_str(), file.fittingSeconds);
    return text + "\n" + std::string(kShortenQuestionTailText);
}

bool AskToShortenToFit(const std::vector<OverLimitFile>& files, uint32_t limit, Settings& settings) {
    if (settings.shortenToFit) return *settings.shortenToFit;
    bool remember = false;
    const bool shorten = AskWithCheckBox(ShortenQuestionText(files, limit), kShortenQuestionCaption,
                                         kRememberAnswerText, remember) == MessageAnswer::Ok;
    if (remember) settings.shortenToFit = shorten;
    return shorten;
}

std::string SizeMessagesText(const SizeMessages& messages) {
    std::string text;
    if (!messages.overLimit.empty()) {
        text = std::string(kOverSizeLimitText);
        for (const std::string& path : messages.overLimit) text += "\n" + NameOf(path);
    }
    for (const OverLimitFile& file : messages.shortened)
        text += (text.empty() ? "" : "\n") + ShortenedText(file, messages.limit);
    return text;
}

double TenthsOfSeconds(uint64_t frames, uint32_t rate) {
    if (rate == 0) return 0;
    return static_cast<double>(frames * 10 / rate) / 10;
}

SourceClip FittedClip(const SourceClip& clip, uint64_t frames) {
    const unsigned channels = std::max<unsigned>(clip.format.channels, 1);
    const size_t bytes = std::min<uint64_t>(frames * 2 * channels, clip.data.size());
    SourceClip fitted(clip.path, clip.format, std::span(clip.data).first(bytes));
    FadeOut(fitted.data, channels, FadeFrames(kFitFadeOutSeconds, clip.format.sampleRate));
    return fitted;
}

}  // namespace kvt
