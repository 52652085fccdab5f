#include "iso/encoder_3gp.h"

#include <atomic>
#include <functional>
#include <new>
#include <stop_token>
#include <thread>
#include <utility>

#include "iso/file_3gp.h"
#include "iso/file_3gp_splice.h"
#include "iso/remux.h"
#include "iso/side_files.h"
#include "platform/message.h"
#include "platform/message_hold.h"
#include "platform/paths.h"
#include "platform/spare_threads.h"

namespace kvt {

// What a coded stream was coded from: the clip's bytes and the coding settings.
struct CodingKey {
    const uint8_t* clipData = nullptr;
    size_t clipBytes = 0;
    AacSettings settings;
    ResamplerKind resampler = ResamplerKind::BandLimited;
    bool operator==(const CodingKey&) const = default;
};

struct Encoder3gp::CodedStream {
    CodingKey key;
    AacStream stream;
};

namespace {

CodingKey KeyFor(const SourceClip& clip, const Aac3gpRequest& request, const AacTarget& target) {
    return {clip.data.data(), clip.data.size(),
            AacSettings{target.sampleRate, target.channels, request.bitRate, request.bandwidth, request.longBlocksOnly},
            request.resampler};
}

// Deletes the side files of an external run however the write ends.
class SideFilesGuard {
public:
    explicit SideFilesGuard(const std::string& scratchWavPath) : scratchWavPath_(scratchWavPath) {}
    ~SideFilesGuard() {
        if (active) DeleteSideFiles(scratchWavPath_);
    }
    SideFilesGuard(const SideFilesGuard&) = delete;
    SideFilesGuard& operator=(const SideFilesGuard&) = delete;

    bool active = false;

private:
    const std::string& scratchWavPath_;
};

}  // namespace

// Conversion and coding done on a spare thread: the converted clip and its stream, or
// nothing when anything there failed or wanted to say something.
struct Encoder3gp::Ahead {
    struct Result {
        EngineFile pcm;
        CodedStream coded;
    };
    // Runs on the spare thread; nothing it meets reaches the user.
    void Run(const SourceClip& source, const Aac3gpRequest& request, const std::stop_token& stop);
    // From the time Write waits for the result, the coding's progress is passed on.
    void Watch();

    AacProgress progress;
    std::atomic<double> done{0};
    std::atomic<bool> watched{false};
    std::optional<Result> result;
    std::jthread thread;  // stopped and joined before the result goes
    // Passes the encoder's stop on to the thread; gone before the thread is.
    std::optional<std::stop_callback<std::function<void()>>> passStop;
};

void Encoder3gp::Ahead::Run(const SourceClip& source, const Aac3gpRequest& request, const std::stop_token& stop) {
    MessageHold hold;
    try {
        const AacTarget target = ResolveAacTarget(request.samplingRate, request.channels, source.format);
        Result converted;
        if (!PadForAac(source, request.samplingRate, converted.pcm) ||
            !ConvertForAac(converted.pcm, target, request.resampler) ||
            !FitsFrameTable(converted.pcm.data.size(), target.channels) || !hold.Empty()) {
            return;
        }
        converted.coded.key = KeyFor(source, request, target);
        auto report = [this](double share) {
            this->done = share;
            if (watched && progress) progress(share);
        };
        AacCoding coding = CodeAac(converted.pcm.data, converted.coded.key.settings, stop, report);
        if (AacStream* stream = std::get_if<AacStream>(&coding)) {
            converted.coded.stream = std::move(*stream);
            result = std::move(converted);
        }
    } catch (const std::bad_alloc&) {
        // Write meets the shortage again and reports it.
    }
}

void Encoder3gp::Ahead::Watch() {
    watched = true;
    if (progress) progress(done);
}

std::optional<std::string> Output3gpPath(const std::string& path, int kind) {
    return ReplaceExtension(path, kind == 1 ? ".3gp" : ".3g2");
}

Encoder3gp::Encoder3gp(const SourceClip& source) : source_(source) {
    path = source.path;
}

Encoder3gp::~Encoder3gp() = default;

void Encoder3gp::CodeAhead(const Aac3gpRequest& request) {
    ahead_.reset();
    std::optional<SpareThread> spare = SpareThread::Take();
    if (!spare) return;
    ahead_ = std::make_unique<Ahead>();
    ahead_->progress = progress;
    ahead_->thread = std::jthread([ahead = ahead_.get(), &source = source_, request, spare = std::move(*spare)](
                                      std::stop_token stop) { ahead->Run(source, request, stop); });
    ahead_->passStop.emplace(stop, [thread = &ahead_->thread] { thread->request_stop(); });
}

OutputResult Encoder3gp::Write(const Aac3gpRequest& request, std::string& externalEncoderPath) {
    const AacTarget target = ResolveAacTarget(request.samplingRate, request.channels, source_.format);
    const CodingKey key = KeyFor(source_, request, target);
    std::optional<Ahead::Result> ahead;
    if (ahead_) {
        if (ahead_->thread.joinable()) ahead_->Watch();
        ahead_->thread.join();
        if (ahead_->result && ahead_->result->coded.key == key) ahead = std::move(ahead_->result);
        ahead_.reset();
    }
    if (stop.stop_requested()) return OutputResult::Stopped;

    // The clip with its tail, converted: done ahead without a word, still here from the last
    // call of the same coding (which said all there was to say), or done now with messages.
    const bool converted = !ahead && pcmOfLastStream_ && lastStream_ && lastStream_->key == key && !target.channelsCut;
    if (!ahead && !converted) {
        pcmOfLastStream_ = false;
        if (!PadForAac(source_, request.samplingRate, *this)) return OutputResult::Refused;
    }
    const std::optional<std::string> outputPath = Output3gpPath(path, request.kind);
    if (!outputPath) return OutputResult::Refused;
    if (ahead) {
        format = ahead->pcm.format;
        data = std::move(ahead->pcm.data);
        lastStream_ = std::make_unique<CodedStream>(std::move(ahead->coded));
    } else if (!converted && !ConvertForAac(*this, target, request.resampler)) {
        return OutputResult::Refused;
    }

    SideFilesGuard sideFiles(request.scratchWavPath);
    bool external = request.useExternal && request.kind == 1;
    if (external && !RunExternalEncoder(request.scratchWavPath, *this, externalEncoderPath, externalEncoderWait)) {
        ShowMessage(kExternalFallbackText);
        externalEncoderPath.clear();
        external = false;
    }
    sideFiles.active = external;

    // The file's frame table has a fixed capacity; say so before minutes of coding.
    if (!FitsFrameTable(data.size(), target.channels)) {
        ShowMessage(kTooManyFramesText);
        return OutputResult::WriteFailed;
    }
    if (!lastStream_ || lastStream_->key != key) {
        lastStream_.reset();
        AacCoding coding = CodeAac(data, key.settings, stop, progress);
        if (const AacFailure* failure = std::get_if<AacFailure>(&coding)) {
            if (*failure == AacFailure::Stopped) return OutputResult::Stopped;
            ShowAacFailure(*failure, key.settings);
            return OutputResult::WriteFailed;
        }
        lastStream_ = std::make_unique<CodedStream>(CodedStream{key, std::move(std::get<AacStream>(coding))});
    }
    pcmOfLastStream_ = true;
    return WriteFile(request, *outputPath, *lastStream_, external);
}

OutputResult Encoder3gp::WriteFile(const Aac3gpRequest& request, const std::string& outputPath,
                                   const CodedStream& coded, bool spliced) {
    AacTrack track;
    track.payload = coded.stream.payload;
    track.frameSizes = coded.stream.frameSizes;
    track.decoderSpecificInfo = coded.stream.decoderSpecificInfo;
    track.channels = coded.key.settings.channels;
    track.sampleRate = coded.key.settings.sampleRate;
    track.blockAlign = format.blockAlign;

    File3gpOptions options;
    options.type = request.kind;
    if (!request.title.empty()) options.title = request.title;
    options.spliced = spliced;
    options.patchDcmd = true;
    if (request.kind == 1 && request.streaming) {
        options.remux = RemuxForStreaming;
    }
    File_3gp file(request.scratchWavPath);
    return file.Write(outputPath, track, options) ? OutputResult::Written : OutputResult::WriteFailed;
}

int Encoder3gp::Convert3gp(int kind, int bitRate, int samplingRate, int channels, int streaming, int bandwidth,
                           int longBlocksOnly, const std::string& title, const std::string& scratchWavPath,
                           int useExternal, std::string& externalEncoderPath) {
    const Aac3gpRequest request{kind,      bitRate,        samplingRate, channels,       streaming == 1,
                                bandwidth, longBlocksOnly, title,        scratchWavPath, useExternal == 1};
    return Write(request, externalEncoderPath) == OutputResult::Refused ? 0 : 1;
}

}  // namespace kvt
