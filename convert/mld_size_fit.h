#pragma once
// Fitting a job's MLD files to the size ceiling: which files pass it and how long a start
// of the clip would fit, the question and the notices about them, and the shortened clip.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "convert/settings_store.h"
#include "engine/engine_file.h"

namespace kvt {

// An MLD file whose coded size passes the ceiling, and the start of its clip that fits.
struct OverLimitFile {
    std::string path;
    uint64_t fittingFrames = 0;  // of the clip the row codes
    double fittingSeconds = 0;   // the same, rounded down to 0.1 s as the texts give it
};

// What a job says about sizes once its MLD files are made.
struct SizeMessages {
    uint32_t limit = 0;
    std::vector<std::string> overLimit;    // files written above the ceiling
    std::vector<OverLimitFile> shortened;  // files written shortened to fit

    bool Empty() const { return overLimit.empty() && shortened.empty(); }
};

inline constexpr std::string_view kShortenQuestionCaption = "ファイルサイズの制限";
inline constexpr std::string_view kRememberAnswerText = "次からは聞かずに同じようにする";

// The ceiling as the MLD page names it: 10, 20 or 100 (KB).
int LimitKb(uint32_t limit);
// "<file>: <KB> KB に収めるため <s> 秒に短くしました。"
std::string ShortenedText(const OverLimitFile& file, uint32_t limit);
// The one question of a job: each file with the length that would fit, then whether to
// shorten them.
std::string ShortenQuestionText(const std::vector<OverLimitFile>& files, uint32_t limit);
// The window's answer for a job's files above the ceiling: the one remembered in
// `settings`, else the question (ShortenQuestionText) with a box that remembers it there.
// True to shorten them.
bool AskToShortenToFit(const std::vector<OverLimitFile>& files, uint32_t limit, Settings& settings);
// The one box of a job's size messages: the ceiling text with the files above it, then
// the shortened files.
std::string SizeMessagesText(const SizeMessages& messages);

// Seconds of `frames` at `rate`, rounded down to 0.1 s.
double TenthsOfSeconds(uint64_t frames, uint32_t rate);

// The fade-out at the end of a shortened clip, so it does not end in a click.
inline constexpr double kFitFadeOutSeconds = 0.1;
// The first `frames` frames of `clip`, their last 100 ms faded out.
SourceClip FittedClip(const SourceClip& clip, uint64_t frames);

}  // namespace kvt
