#include "app/preview/sink_preview_player.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QMediaDevices>

#include <chrono>
#include <cstring>

#include "app/preview/qt_audio_output.h"
#include "app/preview/silence_tail_reader.h"
#include "fake_audio_output.h"
#include "platform/message.h"

namespace kvt {
namespace {

using testing::FakeAudioOutput;

const std::string kNoDeviceMessage = std::string(kCannotPlayText) + "\n" + std::string(kNoSoundDeviceText);
const std::string kServerStoppedMessage =
    std::string(kPlayWriteErrorText) + "\n" + std::string(kSoundServerStoppedText);

// A loaded stereo input of `frames` frames whose sample values count up from 1.
LoadedInput StereoInput(uint32_t frames) {
    LoadedInput input;
    input.isLoaded = true;
    input.format = FormatBlock::Pcm16(2, 8000);
    input.totalFrames = frames;
    input.endFrame = frames;
    input.pcm.resize(size_t{frames} * 4);
    for (size_t i = 0; i < input.pcm.size() / 2; ++i) {
        const int16_t value = static_cast<int16_t>(i + 1);
        std::memcpy(&input.pcm[2 * i], &value, 2);
    }
    return input;
}

int16_t SampleAt(const QByteArray& bytes, int index) {
    int16_t value;
    std::memcpy(&value, bytes.constData() + 2 * index, 2);
    return value;
}

struct Fixture {
    LoadedInput input = StereoInput(1000);
    FakeAudioOutput* device = new FakeAudioOutput;
    SinkPreviewPlayer player{std::unique_ptr<AudioOutput>(device)};
    MessageRecorder messages;
    void Play() { player.Play(input); }
};

TEST(SinkPreviewPlayer, PlaysTheSelectionOrTheWholeInputWhenStartEqualsEnd) {
    struct Case {
        uint32_t start, end;
        int16_t firstSample;
        qint64 bytes;
    };
    const Case cases[] = {
        {100, 300, 201, 800},  // frame 100's left sample is value 2*100+1
        {0, 1000, 1, 4000},
        {500, 500, 1, 4000},  // START = END: the whole block
    };
    for (const Case& c : cases) {
        Fixture f;
        f.input.startFrame = c.start;
        f.input.endFrame = c.end;
        f.Play();
        ASSERT_TRUE(f.player.IsPlaying());
        EXPECT_EQ(f.device->openRate, 8000);
        EXPECT_EQ(f.device->openChannels, 2);
        const QByteArray all = f.device->Pull(1 << 20);
        EXPECT_EQ(all.size(), c.bytes) << c.start;
        EXPECT_EQ(SampleAt(all, 0), c.firstSample) << c.start;
    }
}

TEST(SinkPreviewPlayer, PlayWhilePlayingDoesNothing) {
    Fixture f;
    f.Play();
    f.device->Pull(400);
    f.input.startFrame = 10;
    f.Play();
    // Still the first block, read on from where the device stopped.
    EXPECT_EQ(SampleAt(f.device->Pull(4), 0), 201);
    EXPECT_EQ(f.device->resets, 0);
}

// The device is handed every byte of the range and nothing more, and the preview lasts
// until the device has played the last frame, not until it has read it.
TEST(SinkPreviewPlayer, TheWholeRangeIsGivenAndPlaysToItsLastFrame) {
    for (uint32_t frames : {1u, 100u, 1023u, 4410u, 44100u}) {
        SCOPED_TRACE(frames);
        Fixture f;
        f.input = StereoInput(50000);
        f.input.startFrame = 7;
        f.input.endFrame = 7 + frames;
        f.Play();
        ASSERT_TRUE(f.player.IsPlaying());
        const QByteArray given = f.device->Pull(1 << 20);
        const auto* range = reinterpret_cast<const char*>(f.input.pcm.data()) + 7 * 4;
        EXPECT_EQ(given, QByteArray(range, frames * 4));
        EXPECT_TRUE(f.device->Pull(4).isEmpty());

        f.device->playedFrames = frames - 1;
        f.player.OnTimer();
        EXPECT_TRUE(f.player.IsPlaying());
        EXPECT_EQ(f.player.PlayFrame(), 7 + frames - 1);
        f.device->playedFrames = frames;
        f.player.OnTimer();
        EXPECT_FALSE(f.player.IsPlaying());
        EXPECT_FALSE(f.device->IsOpen());
    }
}

TEST(SinkPreviewPlayer, ALostOrUnopenedDeviceIsOpenedAnewAtTheNextPlay) {
    Fixture f;
    f.device->failOpen = true;
    f.Play();
    EXPECT_FALSE(f.player.IsPlaying());
    f.device->failOpen = false;
    f.Play();
    ASSERT_TRUE(f.player.IsPlaying());
    f.device->stopped = true;  // the sound server went away in the middle
    f.player.OnTimer();
    EXPECT_FALSE(f.player.IsPlaying());
    EXPECT_FALSE(f.device->IsOpen());
    f.device->stopped = false;
    f.Play();
    EXPECT_TRUE(f.player.IsPlaying());
    EXPECT_EQ(f.device->opens, 2);
}

TEST(SinkPreviewPlayer, StopReturnsTheQueuedAudioBeforeClosing) {
    Fixture f;
    f.Play();
    f.player.Stop();
    EXPECT_FALSE(f.player.IsPlaying());
    EXPECT_FALSE(f.device->IsOpen());
    EXPECT_EQ(f.device->resets, 1);
    EXPECT_FALSE(f.device->closedWithQueuedAudio);
    f.Play();  // and it plays again afterwards
    EXPECT_TRUE(f.player.IsPlaying());
}

TEST(SinkPreviewPlayer, AVolumeChangeDuringPlaybackReachesTheBytesReadNext) {
    Fixture f;
    f.Play();
    EXPECT_EQ(SampleAt(f.device->Pull(4), 0), 1);
    // What the window's volume command does: every sample of its block scaled in place.
    for (size_t i = 0; i + 1 < f.input.pcm.size(); i += 2) {
        int16_t value;
        std::memcpy(&value, &f.input.pcm[i], 2);
        value = static_cast<int16_t>(value * 5 / 4);
        std::memcpy(&f.input.pcm[i], &value, 2);
    }
    const QByteArray next = f.device->Pull(8);
    EXPECT_EQ(SampleAt(next, 0), 3 * 5 / 4);
    EXPECT_EQ(SampleAt(next, 3), 6 * 5 / 4);
}

TEST(SinkPreviewPlayer, EachFailureShowsItsMessageAndLeavesThePlayerIdle) {
    struct Case {
        bool failOpen;
        AudioOutput::StartResult start;
        uint32_t end;
        std::string text;
    };
    const Case cases[] = {
        {true, AudioOutput::StartResult::Playing, 1000, kNoDeviceMessage},
        {false, AudioOutput::StartResult::OpenFailed, 1000, kNoDeviceMessage},
        {false, AudioOutput::StartResult::Failed, 1000, kServerStoppedMessage},
        {false, AudioOutput::StartResult::Playing, 5000, std::string(kPlayHeaderErrorText)},  // END past the block
    };
    for (const Case& c : cases) {
        Fixture f;
        f.device->failOpen = c.failOpen;
        f.device->startResult = c.start;
        f.input.endFrame = c.end;
        f.Play();
        EXPECT_FALSE(f.player.IsPlaying()) << c.text;
        EXPECT_FALSE(f.device->IsOpen()) << c.text;
        EXPECT_EQ(f.messages.Texts(), std::vector<std::string>{c.text});
    }
}

TEST(SinkPreviewPlayer, TheRealDeviceGetsTheRangeThenSilenceToPushItOut) {
    QByteArray range("\x01\x02\x03\x04\x05\x06", 6);
    QBuffer source(&range);
    source.open(QIODevice::ReadOnly);
    SilenceTailReader reader(source, 8);
    reader.open(QIODevice::ReadOnly);
    EXPECT_EQ(reader.read(4), range.left(4));
    EXPECT_EQ(reader.read(100), range.mid(4) + QByteArray(8, '\0'));
    EXPECT_TRUE(reader.atEnd());
    EXPECT_TRUE(reader.read(100).isEmpty());
}

TEST(SinkPreviewPlayer, ABlockThatShrinksUnderThePlayerReadsAsEnded) {
    Fixture f;
    f.Play();
    f.device->Pull(100);
    f.input.pcm.resize(40);
    EXPECT_TRUE(f.device->Pull(100).isEmpty());
}

// The machine's own audio: with no sound server the open fails at once with the message.
TEST(SinkPreviewPlayer, RealSinkWithoutASoundServerShowsTheMessageAndStaysIdle) {
    if (!QMediaDevices::defaultAudioOutput().isNull()) GTEST_SKIP() << "a sound server is running here";
    LoadedInput input = StereoInput(8000);
    MessageRecorder messages;
    SinkPreviewPlayer player(std::make_unique<QtAudioOutput>());
    const auto begin = std::chrono::steady_clock::now();
    player.Play(input);
    player.OnTimer();
    player.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5));
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{kNoDeviceMessage});
}

}  // namespace
}  // namespace kvt
