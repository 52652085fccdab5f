// kvt-convert --play: a ringtone file plays as the ringtone readers decode it, at its own
// rate, to the end; a file without sound fails with the reason.

#include "cli/play_command.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "app/preview/ringtone_sound.h"
#include "check/ringtone_check.h"
#include "cli/convert_command.h"
#include "engine/engine_test_support.h"
#include "engine/mld_encoder.h"
#include "engine/mld_preset_table.h"
#include "engine/mmf_encoder.h"
#include "fake_audio_output.h"
#include "platform/message.h"

namespace kvt::cli {
namespace {

// What a device heard; it outlives the device, which the command deletes.
struct Heard {
    QByteArray bytes;
    int rate = 0, channels = 0, opens = 0;
    bool leftOpen = false;
};

// A device that plays whatever it is handed at once.
class InstantAudioOutput : public testing::FakeAudioOutput {
public:
    explicit InstantAudioOutput(Heard& heard) : heard_(heard) {}
    ~InstantAudioOutput() override {
        heard_.rate = openRate, heard_.channels = openChannels, heard_.opens = opens;
        heard_.leftOpen = IsOpen();
    }
    uint64_t PlayedFrames() const override {
        heard_.bytes += const_cast<InstantAudioOutput*>(this)->Pull(1 << 24);
        return static_cast<uint64_t>(heard_.bytes.size()) / (2u * static_cast<uint64_t>(openChannels));
    }

private:
    Heard& heard_;
};

TEST(PlayCommand, ARingtonePlaysTheCheckDecodersSoundAtItsOwnRate) {
    struct Case {
        const char* file;
        int mldPreset;  // -1: an MMF file
        int rate, channels;
    };
    const Case cases[] = {
        {"song.mmf", -1, 8000, 1}, {"d1.mld", 3, 8000, 1}, {"93.mld", 12, 16000, 1}, {"n2s.mld", 15, 16000, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        kvt::testing::TempFolder folder;
        const SourceClip clip =
            kvt::testing::MakeClip(folder.File("song.wav"), 2, 16000, kvt::testing::TestSignal(2 * 16000));
        MessageRecorder quiet;
        if (c.mldPreset < 0) {
            MmfEncoder encoder(clip);
            ASSERT_EQ(encoder.ConvertMmf(c.rate, 0), 1);
        } else {
            ASSERT_EQ(IsStereoMldType(c.mldPreset), c.channels == 2);
            MldEncoder encoder(clip);
            encoder.SetSizeLimit(0xFFFFFFFF);
            ASSERT_EQ(encoder.ConvertMld(c.mldPreset, c.rate, 100, folder.File(c.file)), 1);
        }
        const std::string path = folder.File(c.file);
        const DecodedAudio decoded = CheckRingtoneFile(path).audio;
        ASSERT_FALSE(decoded.samples.empty());

        Heard heard;
        EXPECT_EQ(RunPlayCommand(path, std::make_unique<InstantAudioOutput>(heard), stderr), kExitSuccess);
        EXPECT_EQ(heard.rate, static_cast<int>(decoded.rate));
        EXPECT_EQ(heard.channels, c.channels);
        const QByteArray expected(reinterpret_cast<const char*>(decoded.samples.data()),
                                  static_cast<qsizetype>(decoded.samples.size() * 2));
        EXPECT_TRUE(heard.bytes == expected) << heard.bytes.size() << " bytes against " << expected.size();
        EXPECT_FALSE(heard.leftOpen);
    }
}

TEST(PlayCommand, AFileWithoutRingtoneSoundFailsWithTheReasonInTheLocalesLanguage) {
    kvt::testing::TempFolder folder;
    const std::string path = folder.File("notes.mmf");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::fputs("plain text", file);
    std::fclose(file);
    const char* saved = std::getenv("LC_ALL");
    const std::string before = saved ? saved : "";
    const struct {
        const char* locale;
        std::string reason;
    } cases[] = {
        {"ja_JP.UTF-8", std::string(kNoRingtoneSoundText)},
        {"C", "The sound of the ringtone file could not be read."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale);
        setenv("LC_ALL", c.locale, 1);
        std::FILE* err = std::tmpfile();
        Heard heard;
        EXPECT_EQ(RunPlayCommand(path, std::make_unique<InstantAudioOutput>(heard), err), kExitFailed);
        EXPECT_EQ(heard.opens, 0);
        std::rewind(err);
        char text[512] = {};
        std::fread(text, 1, sizeof text - 1, err);
        std::fclose(err);
        EXPECT_NE(std::strstr(text, c.reason.c_str()), nullptr) << text;
    }
    saved ? setenv("LC_ALL", before.c_str(), 1) : unsetenv("LC_ALL");
}

}  // namespace
}  // namespace kvt::cli
