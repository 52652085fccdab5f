#include "convert/conversion_job.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <optional>

#include "Module/General/General/GeneralFile.h"
#include "convert/input_loader.h"
#include "engine/engine_file.h"
#include "engine/mld_encoder.h"
#include "engine/mld_fit.h"
#include "engine/mld_preset_table.h"
#include "engine/mmf_encoder.h"
#include "engine/pcm_fades.h"
#include "engine/pcm_operations.h"
#include "iso/encoder_3gp.h"
#include "platform/dialogs.h"
#include "platform/message.h"
#include "platform/paths.h"

namespace kvt {
namespace {

// The MLD rows that store one piece keep only the start of a long clip.
constexpr char kShortenedFormat[] = "選択範囲が長いため、MLDファイルには先頭の%.1f秒だけを保存しました。";

// True when the job is to end here, before its next output.
bool StopHere(const std::stop_token& stop, JobReport& report) {
    if (!stop.stop_requested()) return false;
    report.outcome = JobOutcome::Stopped;
    return true;
}

// Runs one encoder call, records whether its file was written and moves the bar on; an
// output the caller stopped is not listed and does not move the bar.
template <typename Make>
void MakeOutput(ConversionHost& host, JobReport& report, const std::string& path, Make make) {
    if (host.KeepExisting(path)) {
        report.outputs.push_back({path, false});
        host.ProgressStep();
        return;
    }
    host.OutputStarted(path);
    const OutputResult result = make();
    if (result == OutputResult::Stopped)
        report.outcome = JobOutcome::Stopped;
    else
        report.outputs.push_back({path, result == OutputResult::Written});
    host.OutputFinished(path, result == OutputResult::Written);
    if (result != OutputResult::Stopped) host.ProgressStep();
}

// The last rate cell that is on, in table order.
const RateCell* ChosenRate(const ButtonGrid& grid, int page) {
    const RateCell* chosen = nullptr;
    for (const RateCell& cell : RateCells(page))
        if (grid.IsOn(page, cell.cell)) chosen = &cell;
    return chosen;
}

// The clip of bytes [start, end): a copy, or the host's own samples cut to the selection
// when the host hands them over.
SourceClip MakeClip(ConversionHost& host, size_t start, size_t end) {
    const LoadedInput& input = host.Input();
    std::optional<std::vector<uint8_t>> taken = host.TakeInputSamples();
    std::span<const uint8_t> all = taken ? std::span<const uint8_t>(*taken) : std::span<const uint8_t>(input.pcm);
    end = std::min(end, all.size());
    start = std::min(start, end);
    if (taken && end - start <= std::numeric_limits<uint32_t>::max()) {
        taken->resize(end);
        taken->erase(taken->begin(), taken->begin() + static_cast<std::ptrdiff_t>(start));
        SourceClip clip(input.inputPath, input.format, {});
        clip.data = std::move(*taken);
        return clip;
    }
    return SourceClip(input.inputPath, input.format, all.subspan(start, end - start));
}

// One notice a job, however many rows cut the clip. Rounded down, so the text never
// promises more than was kept.
void ShowShortenedNotice(double keptSeconds) {
    char text[256];
    std::snprintf(text, sizeof text, kShortenedFormat, std::floor(keptSeconds * 10) / 10);
    ShowMessage(text);
}

// A stereo clip mixed to mono, as every mono MLD row and a mono MMF file begin by doing;
// nothing for a mono clip (or when the mix fails, leaving it to each encoder).
std::optional<SourceClip> MixedToMono(const SourceClip& clip) {
    if (clip.format.channels != 2) return std::nullopt;
    std::optional<SourceClip> mono(clip);
    if (ConvertChannels(*mono, 1) != 1) return std::nullopt;
    return mono;
}

// The start of `clip` that fits the ceiling for `preset`, when the whole clip does not.
std::optional<uint64_t> FittingFrames(int preset, const SourceClip& clip, const JobChoices& choices) {
    if (clip.format.bitsPerSample != 16 || clip.format.channels == 0) return std::nullopt;
    const uint64_t frames = clip.data.size() / 2 / clip.format.channels;
    const MldClipShape shape{clip.format.sampleRate, static_cast<uint32_t>(std::max(choices.mldRate, 0)),
                             choices.resampler};
    const auto fits =
        MldFittingFrames(MldPresetTable.at(static_cast<size_t>(preset)), frames, shape, choices.mldSizeLimit);
    if (!fits || *fits >= frames) return std::nullopt;
    return fits;
}

// An encoder over the start of a clip that fits the ceiling.
struct FittedMld {
    FittedMld(const SourceClip& whole, uint64_t frames, const MldEncoder& like)
        : clip(FittedClip(whole, frames)), encoder(clip) {
        encoder.path = like.path;
        encoder.resampler = like.resampler;
        encoder.showsSizeMessage = like.showsSizeMessage;
    }
    SourceClip clip;
    MldEncoder encoder;
};

// One MLD file the grid asks for.
struct MldRow {
    int preset = 0;
    std::string path;
    bool stereo = false;
    std::optional<OverLimitFile> over;  // when the whole clip passes the ceiling
};

// The MLD files in dispatch order, then the MMF file. The mono outputs share one mix of
// the clip instead of each mixing its own copy: an encoder's own mix of a mono clip
// changes nothing, so the bytes are the same and the work is done once.
void MakeMldAndMmf(ConversionHost& host, const SourceClip& clip, const JobChoices& choices, const std::string& basePath,
                   const std::stop_token& stop, JobReport& report) {
    const ButtonGrid& grid = host.UserSettings().grid;
    bool anyMld = false;
    for (const MldHandset& handset : MldHandsets()) anyMld = anyMld || grid.IsOn(kMldPage, handset.cell);
    if (!anyMld && !choices.mmf) return;

    std::optional<SourceClip> mixed = MixedToMono(clip);
    const SourceClip& mono = mixed ? *mixed : clip;
    MldEncoder monoMld(mono);
    MldEncoder stereoMld(clip);
    monoMld.path = stereoMld.path = basePath;
    monoMld.resampler = stereoMld.resampler = choices.resampler;
    const bool listsSizes = host.ListsSizeMessages();
    monoMld.showsSizeMessage = stereoMld.showsSizeMessage = !listsSizes;

    std::vector<MldRow> rows;
    std::vector<OverLimitFile> overLimit;
    for (const MldHandset& handset : MldHandsets()) {
        if (!grid.IsOn(kMldPage, handset.cell)) continue;
        MldRow row;
        row.preset = MldPresetFor(handset, choices.mldChannels, choices.mldRate);
        row.stereo = IsStereoMldType(row.preset);
        row.path = MldOutputPath(basePath, MldPresetTable.at(static_cast<size_t>(row.preset)).name);
        const SourceClip& rowClip = row.stereo ? clip : mono;
        if (const auto fits = FittingFrames(row.preset, rowClip, choices)) {
            row.over = OverLimitFile{row.path, *fits, TenthsOfSeconds(*fits, rowClip.format.sampleRate)};
            overLimit.push_back(*row.over);
        }
        rows.push_back(std::move(row));
    }
    const bool shorten = !overLimit.empty() && host.ShortenToFit(overLimit, choices.mldSizeLimit);

    std::map<std::pair<bool, uint64_t>, std::unique_ptr<FittedMld>> fitted;  // by stereo, frames
    SizeMessages sizes;
    sizes.limit = choices.mldSizeLimit;
    std::optional<double> keptSeconds;  // the shortest start kept by a one-piece row
    for (const MldRow& row : rows) {
        if (StopHere(stop, report)) break;
        MldEncoder* mld = row.stereo ? &stereoMld : &monoMld;
        const bool shortened = shorten && row.over;
        if (shortened) {
            std::unique_ptr<FittedMld>& slot = fitted[{row.stereo, row.over->fittingFrames}];
            if (!slot) slot = std::make_unique<FittedMld>(row.stereo ? clip : mono, row.over->fittingFrames, *mld);
            mld = &slot->encoder;
        }
        mld->overSizeLimit = false;
        MakeOutput(host, report, row.path, [&] {
            mld->SetSizeLimit(choices.mldSizeLimit);
            return mld->WriteMld(row.preset, choices.mldRate, kJobNormalizeLevel, std::nullopt);
        });
        const bool written = report.outputs.back().written;
        if (written && shortened) sizes.shortened.push_back(*row.over);
        if (listsSizes && mld->overSizeLimit) sizes.overLimit.push_back(row.path);
        if (written && mld->keptSeconds)
            keptSeconds = std::min(keptSeconds.value_or(*mld->keptSeconds), *mld->keptSeconds);
    }
    host.ShowSizeMessages(sizes);
    if (keptSeconds) ShowShortenedNotice(*keptSeconds);

    if (choices.mmf && !StopHere(stop, report)) {
        MmfEncoder mmf(choices.mmfChannels == 1 ? mono : clip);
        mmf.path = basePath;
        mmf.resampler = choices.resampler;
        MakeOutput(host, report, MmfOutputPath(basePath).value_or(basePath),
                   [&] { return mmf.WriteMmf(choices.mmfRate, choices.mmfChannels != 1); });
    }
}

}  // namespace

Aac3gpRequest AacRequest(const JobChoices& choices, int kind, const std::string& title) {
    Aac3gpRequest request;
    request.kind = kind;
    request.bitRate = choices.aacBitRate;
    request.samplingRate = choices.aacRate;
    request.channels = choices.aacChannels;
    request.title = title;
    request.resampler = choices.resampler;
    return request;
}

JobChoices ReadJobChoices(const ButtonGrid& grid) {
    JobChoices choices;
    if (const RateCell* rate = ChosenRate(grid, kMldPage)) choices.mldRate = rate->rate;
    if (grid.IsOn(kMldPage, kMonoCell)) choices.mldChannels = 1;
    if (grid.IsOn(kMldPage, kStereoCell)) choices.mldChannels = 2;
    if (grid.IsOn(kMldPage, kMld20KbCell)) choices.mldSizeLimit = kMldLimit20Kb;
    if (grid.IsOn(kMldPage, kMld100KbCell)) choices.mldSizeLimit = kMldLimit100Kb;

    choices.mmf = grid.IsOn(kMmfPage, kMmfOutputCell);
    if (const RateCell* rate = ChosenRate(grid, kMmfPage)) choices.mmfRate = rate->rate;
    if (grid.IsOn(kMmfPage, kMonoCell)) choices.mmfChannels = 1;
    if (grid.IsOn(kMmfPage, kStereoCell)) choices.mmfChannels = 2;

    choices.make3gp = grid.IsOn(k3gpPage, k3gpOutputCell);
    choices.make3g2 = grid.IsOn(k3gpPage, k3g2OutputCell);
    if (const RateCell* rate = ChosenRate(grid, k3gpPage)) {
        choices.aacRate = rate->rate;
        choices.aacBitRate = rate->bitRate;
    }
    if (grid.IsOn(k3gpPage, kMonoCell)) choices.aacChannels = 1;
    if (grid.IsOn(k3gpPage, kStereoCell)) choices.aacChannels = 2;
    choices.streaming = grid.IsOn(k3gpPage, k3gpStreamingCell);
    choices.useExternal = grid.IsOn(k3gpPage, k3gpExternalCell);
    return choices;
}

int CountSelectedOutputs(const ButtonGrid& grid) {
    int count = 0;
    for (const MldHandset& handset : MldHandsets())
        if (grid.IsOn(kMldPage, handset.cell)) ++count;
    if (grid.IsOn(kMmfPage, kMmfOutputCell)) ++count;
    if (grid.IsOn(k3gpPage, k3gpOutputCell)) ++count;
    if (grid.IsOn(k3gpPage, k3g2OutputCell)) ++count;
    return count;
}

int ChooseExternalEncoder(Settings& settings) {
    ShowMessage(kChooseEncoderText);
    const std::optional<std::string> chosen = CurrentDialogs().ChooseProgram();
    if (!chosen || !GneCanOpen(*chosen)) {
        settings.externalEncoderPath.clear();
        return 0;
    }
    settings.externalEncoderPath = *chosen;
    return 1;
}

void ShowNothingChosenMessage() {
    ShowMessage(kNothingChosenText, kNothingChosenCaption);
}

bool JobReport::AllWritten() const {
    return outcome == JobOutcome::Finished &&
           std::all_of(outputs.begin(), outputs.end(), [](const JobOutput& output) { return output.written; });
}

std::optional<std::string> ClosingMessage(const JobReport& report, const std::string& savingDirectory) {
    std::string written;
    for (const JobOutput& output : report.outputs)
        if (output.written) (written += '\n') += FileNameOfPath(output.path);
    if (report.outcome == JobOutcome::Stopped) {
        if (written.empty()) return std::string(kStoppedBeforeAnyText);
        return savingDirectory + std::string(kSavedTheseText) + written + "\n" + std::string(kRestStoppedText);
    }
    if (report.outcome != JobOutcome::Finished || written.empty()) return std::nullopt;
    return savingDirectory + std::string(kSavedText);
}

JobReport OnConvert(ConversionHost& host, std::stop_token stop) {
    JobReport report;
    const LoadedInput& input = host.Input();
    Settings& settings = host.UserSettings();

    if (!input.isLoaded) {
        host.ErrorMsg(1);
        return report;
    }
    if (CountSelectedOutputs(settings.grid) == 0) {
        host.RunSettingsDialog();
        host.SaveSettings();
        if (CountSelectedOutputs(settings.grid) == 0) {
            ShowNothingChosenMessage();
            report.outcome = JobOutcome::NothingChosen;
            return report;
        }
    }

    const PcmRange selection = SelectedRange(input, ReversedSelection::Swap);

    JobChoices choices = ReadJobChoices(settings.grid);
    choices.resampler = settings.resampler;
    const std::string basePath = JoinPath(settings.savingDirectory, GneGetFileName(input.inputPath));
    std::string title = GneGetFileName(basePath);
    GneCutExtension(title);

    try {
        SourceClip clip = MakeClip(host, selection.offset, selection.offset + selection.length);
        const ClipFades fades = clip.format.bitsPerSample == 16 ? host.Fades() : ClipFades{};
        const unsigned channels = std::max<unsigned>(clip.format.channels, 1);
        FadeIn(clip.data, channels, FadeFrames(fades.inSeconds, clip.format.sampleRate));
        FadeOut(clip.data, channels, FadeFrames(fades.outSeconds, clip.format.sampleRate));
        // The AAC coding, the longest part of a job, runs beside the MLD and MMF files when
        // a core is free; the 3GP and 3G2 steps take its result where they stand.
        Encoder3gp aac(clip);
        aac.path = basePath;
        aac.stop = stop;
        aac.progress = [&host](double share) { host.OutputProgress(share); };
        if (choices.make3gp || choices.make3g2) aac.CodeAhead(AacRequest(choices, 1, title));

        host.ProgressReset(CountSelectedOutputs(settings.grid));
        MakeMldAndMmf(host, clip, choices, basePath, stop, report);

        bool useExternal = choices.useExternal;
        if (choices.make3gp && !StopHere(stop, report)) {
            if (useExternal) {
                if (!GneCanOpen(settings.externalEncoderPath)) settings.externalEncoderPath.clear();
                if (settings.externalEncoderPath.empty() && ChooseExternalEncoder(settings) == 0) {
                    useExternal = false;
                    ShowMessage(kInternalEncoderText);
                }
            }
            Aac3gpRequest request = AacRequest(choices, 1, title);
            request.streaming = choices.streaming;
            request.scratchWavPath = ScratchWavPath(settings.workFolder);
            request.useExternal = useExternal;
            MakeOutput(host, report, Output3gpPath(basePath, 1).value_or(basePath),
                       [&] { return aac.Write(request, settings.externalEncoderPath); });
        }

        if (choices.make3g2 && !StopHere(stop, report)) {
            if (useExternal) ShowMessage(k3g2ExternalText);
            std::string noExternal;
            MakeOutput(host, report, Output3gpPath(basePath, 2).value_or(basePath),
                       [&] { return aac.Write(AacRequest(choices, 2, title), noExternal); });
        }
    } catch (const std::bad_alloc&) {
        host.ErrorMsg(2);
        report.outcome = JobOutcome::OutOfMemory;
        host.Repaint();
        return report;
    }

    if (report.outcome != JobOutcome::Stopped) report.outcome = JobOutcome::Finished;
    if (std::optional<std::string> text = ClosingMessage(report, settings.savingDirectory))
        host.ShowClosingMessage(*text);
    host.Repaint();
    return report;
}

}  // namespace kvt
