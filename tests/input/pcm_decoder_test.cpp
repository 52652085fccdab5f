// The in-process decoder on hostile and awkward inputs: streams that change shape midway,
// files that are not what their name says, and paths that are not regular files.

#include "input/pcm_decoder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <future>
#include <vector>

#include "platform/command_output.h"
#include "platform/message.h"
#include "platform/temp_folder.h"

namespace kvt {
namespace {

namespace fs = std::filesystem;
using ::kvt::testing::ReadWholeFile;
using ::kvt::testing::RunCommand;
using ::kvt::testing::TempFolder;

struct Decoded {
    DecodeOutcome outcome = DecodeOutcome::NoAudio;
    DecodedFormat format;
    std::vector<int16_t> samples;

    size_t Frames() const { return format.channels ? samples.size() / format.channels : 0; }
    // Root mean square of one channel over the last `frames` frames.
    double TailLevel(int channel, size_t frames) const {
        double sum = 0;
        for (size_t f = Frames() - frames; f < Frames(); ++f) {
            double s = samples[f * format.channels + channel];
            sum += s * s;
        }
        return std::sqrt(sum / static_cast<double>(frames));
    }
};

Decoded Decode(const std::string& path) {
    Decoded result;
    result.outcome = DecodeAudio(
        path,
        [&](const DecodedFormat& format) {
            result.format = format;
            return true;
        },
        [&](std::span<const int16_t> samples) {
            result.samples.insert(result.samples.end(), samples.begin(), samples.end());
            return true;
        });
    return result;
}

// `seconds` of audio, one expression per channel ("0" for silence), coded by `codec`.
std::string MakeAudio(const TempFolder& folder, const std::string& name, int rate,
                      const std::vector<std::string>& channels, const std::string& codec = "libmp3lame",
                      int seconds = 1) {
    std::string expressions;
    for (const auto& expression : channels) expressions += (expressions.empty() ? "" : "|") + expression;
    std::string path = folder / name;
    std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i 'aevalsrc=" + expressions +
                          ":s=" + std::to_string(rate) + ":d=" + std::to_string(seconds) + "' -c:a " + codec + " '" +
                          path + "' 2>&1";
    EXPECT_EQ(RunCommand(command).exitCode, 0) << name;
    return path;
}

const std::string kTone = "0.5*sin(2*PI*440*t)";

struct ShapeCase {
    const char* name;
    int firstRate;
    std::vector<std::string> first;
    int secondRate;
    std::vector<std::string> second;
    int channels;  // of the output: the first part's
};

class ShapeChange : public ::testing::TestWithParam<ShapeCase> {};

// Two MP3 streams of two seconds back to back in one file: the decoder meets a new layout
// or rate midway. All four seconds must arrive, and the second must keep its sound on every output
// channel (a right-only second part mixed to mono is not silence).
TEST_P(ShapeChange, WholeInputArrivesInTheFirstPartsShape) {
    const ShapeCase& c = GetParam();
    TempFolder folder;
    std::string joined = ReadWholeFile(MakeAudio(folder, "a.mp3", c.firstRate, c.first, "libmp3lame", 2)) +
                         ReadWholeFile(MakeAudio(folder, "b.mp3", c.secondRate, c.second, "libmp3lame", 2));
    std::string input = folder.Write("joined.wma", joined);

    Decoded decoded = Decode(input);
    ASSERT_EQ(decoded.outcome, DecodeOutcome::Decoded);
    EXPECT_EQ(decoded.format.sampleRate, c.firstRate);
    ASSERT_EQ(decoded.format.channels, c.channels);
    EXPECT_NEAR(static_cast<double>(decoded.Frames()), 4.0 * c.firstRate, 0.1 * c.firstRate);
    for (int channel = 0; channel < c.channels; ++channel)
        EXPECT_GT(decoded.TailLevel(channel, static_cast<size_t>(c.firstRate / 4)), 1000.0) << "channel " << channel;
}

INSTANTIATE_TEST_SUITE_P(Streams, ShapeChange,
                         ::testing::Values(ShapeCase{"StereoThenMono", 44100, {kTone, kTone}, 44100, {kTone}, 2},
                                           ShapeCase{"MonoThenRightOnlyStereo", 44100, {kTone}, 44100, {"0", kTone}, 1},
                                           ShapeCase{
                                               "RateDropsMidway", 44100, {kTone, kTone}, 32000, {kTone, kTone}, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

// Changes into the folder for the length of a test, for names that are relative paths.
class InFolder {
public:
    explicit InFolder(const std::string& folder) : previous_(fs::current_path()) { fs::current_path(folder); }
    ~InFolder() { fs::current_path(previous_); }

private:
    fs::path previous_;
};

// The decoder reads only the file it is given, whatever its name or kind says.
TEST(PcmDecoderOpening, NoPartOfTheNameIsAProtocol) {
    TempFolder folder;
    MakeAudio(folder, "x.wma", 22050, {kTone}, "wmav2");
    folder.Write("file:x.wma", std::string(4000, 'Z'));
    InFolder inside(folder.Path());
    EXPECT_EQ(Decode("file:x.wma").outcome, DecodeOutcome::NoAudio);
    EXPECT_EQ(Decode("x.wma").outcome, DecodeOutcome::Decoded);
}

TEST(PcmDecoderOpening, PlaylistsAndConcatScriptsOpenNothing) {
    TempFolder folder;
    MakeAudio(folder, "secret.mp3", 22050, {kTone});
    auto playlist = [](const std::string& entry) {
        return "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\n" + entry + "\n#EXT-X-ENDLIST\n";
    };
    // Under every name the loader decodes in-process.
    const std::pair<const char*, std::string> scripts[] = {
        {"playlist.wma", playlist("secret.mp3")},
        {"absolute.wma", playlist(folder / "secret.mp3")},
        {"list.wma", "ffconcat version 1.0\nfile secret.mp3\n"},
        {"playlist.flac", playlist("secret.mp3")},
        {"absolute.m4a", playlist(folder / "secret.mp3")},
        {"list.ogg", "ffconcat version 1.0\nfile secret.mp3\n"},
        {"list.opus", "ffconcat version 1.0\nfile secret.mp3\n"},
        {"playlist.aiff", playlist("secret.mp3")},
        {"plain.m4a", "secret.mp3\n"},
    };
    for (const auto& [name, text] : scripts) {
        Decoded decoded = Decode(folder.Write(name, text));
        EXPECT_EQ(decoded.outcome, DecodeOutcome::NoAudio) << name;
        EXPECT_TRUE(decoded.samples.empty()) << name;
    }
}

// The allow-list still takes the formats a mislabelled input really is.
TEST(PcmDecoderOpening, CommonAudioFormatsDecodeWhateverTheirName) {
    TempFolder folder;
    const std::pair<const char*, const char*> formats[] = {
        {"mp3.wma", "libmp3lame -f mp3"}, {"ogg.wma", "libvorbis -f ogg"}, {"flac.wma", "flac -f flac"},
        {"m4a.wma", "aac -f mp4"},        {"adts.wma", "aac -f adts"},     {"wav.mp3", "pcm_s16le -f wav"},
    };
    for (const auto& [name, codec] : formats) {
        Decoded decoded = Decode(MakeAudio(folder, name, 22050, {kTone, kTone}, codec));
        EXPECT_EQ(decoded.outcome, DecodeOutcome::Decoded) << name;
        EXPECT_NEAR(static_cast<double>(decoded.Frames()), 22050.0, 2500.0) << name;
    }
}

TEST(PcmDecoderOpening, LocalFileUrlIsAbsoluteAndFileOnly) {
    EXPECT_EQ(LocalFileUrl("/a/b:c.wma"), "file:/a/b:c.wma");
    EXPECT_EQ(LocalFileUrl("http://x/y.wma"), "file:" + fs::current_path().string() + "/http://x/y.wma");
}

TEST(PcmDecoderOpening, NamedPipesAndFoldersAreRefusedAtOnce) {
    TempFolder folder;
    std::string fifo = folder / "fifo.wma";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(folder / "folder.wma");
    for (const std::string& path : {fifo, folder / "folder.wma"}) {
        auto decoding = std::async(std::launch::async, [&] { return Decode(path).outcome; });
        bool finished = decoding.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
        // A decoder stuck in open() is released by a writer appearing.
        if (!finished) close(open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
        EXPECT_TRUE(finished) << path;
        EXPECT_EQ(decoding.get(), DecodeOutcome::NoAudio) << path;
    }
}

}  // namespace
}  // namespace kvt
