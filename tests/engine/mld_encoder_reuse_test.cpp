// One MldEncoder asked for many rows in a row must write what a fresh encoder writes for
// each request: the same files, return values and messages, in any order of requests.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "engine/level_normalizer.h"
#include "engine/mld_encoder.h"
#include "engine/mld_preset_table.h"
#include "engine_test_support.h"
#include "platform/message.h"

namespace kvt {
namespace {

struct Request {
    int preset;
    int rate;
    int normalize;
    uint32_t sizeLimit;
};

struct Outcome {
    int result;
    std::vector<std::string> messages;
    std::vector<uint8_t> bytes;
};

// A busy signal with quiet runs in it, so that the silence fill of codec 2 changes the
// samples it is given.
std::vector<int16_t> SignalWithGaps(size_t count, uint32_t seed) {
    std::vector<int16_t> samples = testing::TestSignal(count, seed);
    for (size_t i = 0; i < count; ++i)
        if ((i / 300) % 3 == 1) samples[i] = static_cast<int16_t>(i % 7) - 3;
    return samples;
}

// Every mono and stereo row at every rate and two levels, in the order a conversion job
// asks for them: level by level, rate by rate, row by row.
std::vector<Request> JobOrder() {
    std::vector<Request> requests;
    uint32_t index = 0;
    for (const int normalize : {100, kKeepLevel, 250})
        for (const int rate : {8000, 4000, 16000, 32000, 0})
            for (int preset = 1; preset < static_cast<int>(kMldPresetCount); ++preset)
                // Limits above and below the coded sizes, changing from call to call.
                requests.push_back({preset, rate, normalize, (index++ % 3 == 0) ? 100000u : 1500u});
    return requests;
}

std::string OutputName(size_t index) {
    return "out" + std::to_string(index) + ".mld";
}

Outcome Run(MldEncoder& encoder, const Request& request, const std::string& output, MessageRecorder& recorder) {
    recorder.Clear();
    encoder.SetSizeLimit(request.sizeLimit);
    Outcome outcome;
    outcome.result = encoder.ConvertMld(request.preset, request.rate, request.normalize, output);
    outcome.messages = recorder.Texts();
    if (outcome.result == 1) outcome.bytes = testing::ReadFileBytes(output);
    return outcome;
}

void ExpectSharedEncoderMatchesFreshOnes(const std::vector<Request>& requests) {
    testing::TempFolder folder;
    // The mono rows get a mono clip at 44100 Hz, the stereo rows a stereo clip at 22050 Hz.
    const SourceClip mono = testing::MakeClip(folder.File("mono.wav"), 1, 44100, SignalWithGaps(44100 / 4, 3));
    const SourceClip stereo = testing::MakeClip(folder.File("stereo.wav"), 2, 22050, SignalWithGaps(22050 / 2, 5));
    MessageRecorder recorder;
    MldEncoder sharedMono(mono);
    MldEncoder sharedStereo(stereo);
    size_t written = 0;
    for (size_t i = 0; i < requests.size(); ++i) {
        const Request& request = requests[i];
        SCOPED_TRACE(::testing::Message() << "row " << request.preset << " at " << request.rate << " level "
                                          << request.normalize << " limit " << request.sizeLimit);
        const SourceClip& clip = IsStereoMldType(request.preset) ? stereo : mono;
        MldEncoder fresh(clip);
        const Outcome expected = Run(fresh, request, folder.File("fresh_" + OutputName(i)), recorder);
        MldEncoder& shared = IsStereoMldType(request.preset) ? sharedStereo : sharedMono;
        const Outcome actual = Run(shared, request, folder.File("shared_" + OutputName(i)), recorder);
        EXPECT_EQ(actual.result, expected.result);
        EXPECT_EQ(actual.messages, expected.messages);
        EXPECT_TRUE(actual.bytes == expected.bytes);
        if (expected.result == 1) ++written;
    }
    // Most requests are allowed; the comparison must not be one of refusals only.
    EXPECT_GT(written, requests.size() / 2);
}

TEST(MldEncoderReuse, SharedEncoderWritesWhatFreshOnesWriteInTheJobsOrder) {
    ExpectSharedEncoderMatchesFreshOnes(JobOrder());
}

TEST(MldEncoderReuse, SharedEncoderWritesWhatFreshOnesWriteInAnyOrder) {
    std::vector<Request> requests = JobOrder();
    std::mt19937 random(20261208);
    std::shuffle(requests.begin(), requests.end(), random);
    ExpectSharedEncoderMatchesFreshOnes(requests);
}

}  // namespace
}  // namespace kvt
