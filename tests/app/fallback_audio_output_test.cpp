#include "app/preview/fallback_audio_output.h"

#include <gtest/gtest.h>
#include <QBuffer>

#include "app/preview/pulse_audio_output.h"
#include "fake_audio_output.h"

namespace kvt {
namespace {

using testing::FakeAudioOutput;
using StartResult = AudioOutput::StartResult;

// Qt's sink may take bytes from the source before it reports that it failed.
class ReadsThenFails : public FakeAudioOutput {
public:
    StartResult Start(QIODevice& source) override {
        FakeAudioOutput::Start(source);
        source.read(6);
        return StartResult::Failed;
    }
};

struct Fixture {
    explicit Fixture(FakeAudioOutput* first) : preferred(first) {}
    FakeAudioOutput* preferred;
    FakeAudioOutput* fallback = new FakeAudioOutput;
    FallbackAudioOutput output{std::unique_ptr<AudioOutput>(preferred), std::unique_ptr<AudioOutput>(fallback)};
    QByteArray bytes = QByteArray("0123456789abcdef");
    QBuffer source{&bytes};

    StartResult OpenAndStart() {
        source.open(QIODevice::ReadOnly);
        if (!output.Open(8000, 2)) return StartResult::OpenFailed;
        return output.Start(source);
    }
};

TEST(FallbackAudioOutput, PlaysThroughTheSecondOutputOnlyWhenTheFirstCannotOpenOrStart) {
    struct Case {
        const char* name;
        bool firstFailsOpen;
        StartResult firstStarts;
        bool secondFailsOpen;
        StartResult expected;
        bool secondPlays;
    };
    const Case cases[] = {
        {"first plays", false, StartResult::Playing, false, StartResult::Playing, false},
        {"first cannot open", true, StartResult::Playing, false, StartResult::Playing, true},
        {"first fails to start", false, StartResult::Failed, false, StartResult::Playing, true},
        {"first cannot open its stream", false, StartResult::OpenFailed, false, StartResult::Playing, true},
        {"neither reaches a server", false, StartResult::Failed, true, StartResult::Failed, false},
        {"there is no device at all", true, StartResult::Playing, true, StartResult::OpenFailed, false},
    };
    for (const Case& c : cases) {
        Fixture f(new FakeAudioOutput);
        f.preferred->failOpen = c.firstFailsOpen;
        f.preferred->startResult = c.firstStarts;
        f.fallback->failOpen = c.secondFailsOpen;
        EXPECT_EQ(f.OpenAndStart(), c.expected) << c.name;
        EXPECT_EQ(f.fallback->IsOpen(), c.secondPlays) << c.name;
        if (c.secondPlays) {
            EXPECT_FALSE(f.preferred->IsOpen()) << c.name;
            EXPECT_EQ(f.fallback->openRate, 8000) << c.name;
            EXPECT_EQ(f.fallback->openChannels, 2) << c.name;
            f.fallback->playedFrames = 3;
            EXPECT_EQ(f.output.PlayedFrames(), 3u) << c.name;
        }
    }
}

TEST(FallbackAudioOutput, TheSecondOutputGetsTheSourceFromWhereTheFirstFoundIt) {
    Fixture f(new ReadsThenFails);
    f.source.open(QIODevice::ReadOnly);
    f.source.read(2);
    ASSERT_TRUE(f.output.Open(8000, 2));
    ASSERT_EQ(f.output.Start(f.source), StartResult::Playing);
    EXPECT_EQ(f.fallback->Pull(100), QByteArray("23456789abcdef"));
}

TEST(FallbackAudioOutput, EveryPlayTriesTheFirstOutputAgain) {
    Fixture f(new FakeAudioOutput);
    f.preferred->startResult = StartResult::Failed;
    ASSERT_EQ(f.OpenAndStart(), StartResult::Playing);
    f.output.Reset();
    f.output.Close();
    EXPECT_FALSE(f.fallback->closedWithQueuedAudio);
    f.preferred->startResult = StartResult::Playing;
    f.source.seek(0);
    ASSERT_TRUE(f.output.Open(8000, 2));
    EXPECT_EQ(f.output.Start(f.source), StartResult::Playing);
    EXPECT_EQ(f.preferred->opens, 2);
    EXPECT_EQ(f.fallback->opens, 1);
}

TEST(PulseAudioOutput, WithoutASoundServerNothingOpens) {
    qputenv("PULSE_SERVER", "unix:/nonexistent/kvt-no-server");
    PulseAudioOutput output;
    EXPECT_FALSE(output.Open(8000, 2));
    EXPECT_FALSE(output.IsOpen());
    QBuffer source;
    EXPECT_EQ(output.Start(source), AudioOutput::StartResult::OpenFailed);
    qunsetenv("PULSE_SERVER");
}

}  // namespace
}  // namespace kvt
