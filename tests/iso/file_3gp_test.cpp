#include "iso/file_3gp.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "box_test_support.h"
#include "engine/byte_order.h"
#include "iso/box_reader.h"
#include "iso/file_3gp_splice.h"
#include "iso/side_files.h"
#include "platform/message.h"

namespace kvt {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using testing::ReadFileBytes;
using testing::TempFolder;
using testing::TopLevelBoxes;

constexpr std::array<uint8_t, 2> kLcMono8000 = {0x15, 0x88};  // AAC LC, 8000 Hz, 1 channel
constexpr uint32_t kFixedNow = 3000000000u;

// Frames of 100..109 bytes (repeating), each filled with its index.
struct SyntheticStream {
    std::vector<uint8_t> payload;
    std::vector<uint32_t> sizes;

    explicit SyntheticStream(size_t frames = 10, uint32_t extraInLast = 0) {
        for (size_t i = 0; i < frames; ++i) {
            const uint32_t size = 100 + static_cast<uint32_t>(i % 10) + (i + 1 == frames ? extraInLast : 0);
            sizes.push_back(size);
            payload.insert(payload.end(), size, static_cast<uint8_t>(i));
        }
    }
    AacTrack Track(int rate = 8000, int channels = 1) const {
        return AacTrack{payload, sizes, kLcMono8000, channels, rate, 2 * channels};
    }
};

File3gpOptions Options(int type, std::string title = "abcdef") {
    File3gpOptions options;
    options.type = type;
    options.title = std::move(title);
    options.now = kFixedNow;
    return options;
}

std::vector<uint8_t> Build(const AacTrack& track, const File3gpOptions& options,
                           const std::string& path = "/music/ring.3gp") {
    File_3gp writer;
    std::optional<std::vector<uint8_t>> image = writer.BuildImage(path, track, options);
    EXPECT_TRUE(image.has_value());
    return image.value_or(std::vector<uint8_t>{});
}

uint32_t BoxSize(const BoxNode& root, std::string_view type) {
    const BoxNode* box = root.Find(type);
    return box ? static_cast<uint32_t>(box->BodySize() + 8) : 0;
}

std::span<const uint8_t> Body(const BoxNode& root, std::string_view type) {
    const BoxNode* box = root.Find(type);
    return box ? box->Body() : std::span<const uint8_t>{};
}

std::vector<uint32_t> Words(std::span<const uint8_t> bytes, size_t from, size_t count) {
    std::vector<uint32_t> words;
    for (size_t i = 0; i < count && from + 4 * i + 4 <= bytes.size(); ++i)
        words.push_back(GetBe32(bytes.subspan(from + 4 * i)));
    return words;
}

TEST(File3gpLayout, BoxSizesOfATenFrameMonoStream) {
    // 0 means the box must not be there.
    const std::map<std::string, std::pair<uint32_t, uint32_t>> expected = {
        // type     3GP  3G2
        {"ftyp", {28, 20}},   {"moov", {717, 634}}, {"mvhd", {108, 108}}, {"drm ", {18, 0}},    {"dcmd", {10, 0}},
        {"trak", {554, 518}}, {"tkhd", {92, 92}},   {"edts", {36, 0}},    {"mdia", {418, 418}}, {"mdhd", {32, 32}},
        {"hdlr", {51, 51}},   {"minf", {327, 327}}, {"smhd", {16, 16}},   {"dinf", {36, 36}},   {"stbl", {267, 267}},
        {"stsd", {91, 91}},   {"stts", {24, 24}},   {"stsc", {28, 28}},   {"stsz", {60, 60}},   {"stco", {56, 56}},
        {"udta", {29, 0}},    {"titl", {21, 0}},    {"free", {8, 0}},
    };
    const SyntheticStream stream;
    for (int type : {1, 2}) {
        const std::vector<uint8_t> image = Build(stream.Track(), Options(type));
        const BoxNode root("root", image);
        for (const auto& [box, sizes] : expected)
            EXPECT_EQ(BoxSize(root, box), type == 1 ? sizes.first : sizes.second) << box << " in type " << type;
    }
}

TEST(File3gpLayout, MoovGrowsWithTheTitle) {
    const SyntheticStream stream;
    for (const std::string title : {"", "a", "abcdef", "a title of some length"}) {
        const BoxNode root("root", Build(stream.Track(), Options(1, title)));
        EXPECT_EQ(BoxSize(root, "moov"), 711 + title.size()) << title;
        EXPECT_EQ(BoxSize(root, "titl"), 15 + title.size()) << title;
    }
}

TEST(File3gpLayout, TopLevelOrderAndChunkOffsets) {
    const SyntheticStream stream;
    struct Case {
        int type;
        std::vector<std::string> order;
        uint32_t first;
    };
    const Case cases[] = {
        {1, {"ftyp", "moov", "free", "free", "mdat"}, 28 + 717 + 16 + 24},
        {2, {"ftyp", "mdat", "moov"}, 20 + 24},
    };
    for (const Case& c : cases) {
        const std::vector<uint8_t> image = Build(stream.Track(), Options(c.type));
        std::vector<std::string> order;
        for (const auto& box : TopLevelBoxes(image)) order.push_back(box.type);
        EXPECT_EQ(order, c.order) << "type " << c.type;

        const auto mdat = TopLevelBoxes(image)[c.type == 1 ? 4 : 1];
        EXPECT_EQ(mdat.size, 24 + stream.payload.size());
        EXPECT_EQ(mdat.offset + 24, c.first);
        const uint64_t end = mdat.offset + mdat.size;
        EXPECT_EQ(c.type == 1 ? end : end + 634, image.size()) << "moov is last in a 3G2 file";

        // The 16 bytes after the mdat header, then the first frame byte.
        const std::vector<uint8_t> block(image.begin() + mdat.offset + 8, image.begin() + mdat.offset + 24);
        EXPECT_THAT(block, ElementsAre(0, 0, 0, 8, 'w', 'i', 'd', 'e', 0, 0, 0, 0, 'm', 'd', 'a', 't'));
        EXPECT_TRUE(std::equal(stream.payload.begin(), stream.payload.end(), image.begin() + c.first));

        const BoxNode root("root", image);
        std::vector<uint32_t> offsets;
        uint32_t offset = c.first;
        for (uint32_t size : stream.sizes) {
            offsets.push_back(offset);
            offset += size;
        }
        EXPECT_EQ(GetBe32(Body(root, "stco").subspan(4)), 10u) << "entry count";
        EXPECT_EQ(Words(Body(root, "stco"), 8, 10), offsets);
        for (size_t i = 0; i < offsets.size(); ++i)
            EXPECT_EQ(image[offsets[i]], i) << "frame " << i << " starts at its chunk offset";
    }
}

TEST(File3gpLayout, FtypForms) {
    const SyntheticStream stream;
    const std::vector<uint8_t> mp4 = Build(stream.Track(), Options(1));
    EXPECT_EQ(std::string(mp4.begin(), mp4.begin() + 28), std::string("\0\0\0\x1C"
                                                                      "ftyp"
                                                                      "mmp4"
                                                                      "\0\0\0\x01"
                                                                      "mmp4"
                                                                      "3gp5"
                                                                      "3gp4",
                                                                      28));
    const std::vector<uint8_t> g2 = Build(stream.Track(), Options(2));
    EXPECT_EQ(std::string(g2.begin(), g2.begin() + 20), std::string("\0\0\0\x14"
                                                                    "ftyp"
                                                                    "3g2a"
                                                                    "\0\0\x02\0"
                                                                    "3g2a",
                                                                    20));
}

TEST(File3gpFields, SampleDescriptionBytes) {
    const SyntheticStream stream;
    const BoxNode root("root", Build(stream.Track(), Options(1)));
    const std::vector<uint8_t> expected = {
        0,    0,  0,    0,    0,    0,    0,    1,                             // ver/flags, entry count
        0,    0,  0,    75,   'm',  'p',  '4',  'a',  0,    0,    0, 0, 0, 0,  // mp4a, reserved
        0,    1,  0,    0,    0,    0,    0,    0,    0,    0,                 // data reference index, reserved
        0,    1,  0,    16,   0,    0,    0,    0,    0x1F, 0x40, 0, 0,        // channels, sample size, rate 8000 << 16
        0,    0,  0,    39,   'e',  's',  'd',  's',  0,    0,    0, 0,        // esds
        0x03, 25, 0,    0,    0,                                               // ES descriptor
        0x04, 17, 0x40, 0x15, 0x00, 0x18, 0x00,                                // decoder config, buffer 6144
        0,    0,  0x1A, 0x60, 0,    0,    0x19, 0x83,                          // 6752 bit/s max (frames 3-10), 6531 avg
        0x05, 2,  0x15, 0x88,                                                  // decoder-specific info
        0x06, 1,  2,                                                           // SL config
    };
    EXPECT_THAT(std::vector<uint8_t>(Body(root, "stsd").begin(), Body(root, "stsd").end()), ElementsAreArray(expected));
}

TEST(File3gpFields, HandlerAndTitleTexts) {
    const SyntheticStream stream;
    const BoxNode root("root", Build(stream.Track(), Options(1)));
    const std::string handler(reinterpret_cast<const char*>(Body(root, "hdlr").data()), Body(root, "hdlr").size());
    EXPECT_EQ(handler, std::string("\0\0\0\0\0\0\0\0soun\0\0\0\0\0\0\0\0\0\0\0\0Sound Media Handler", 43));
    const std::string title(reinterpret_cast<const char*>(Body(root, "titl").data()), Body(root, "titl").size());
    EXPECT_EQ(title, std::string("\0\0\0\0\x2A\x0E"
                                 "abcdef\0",
                                 13));
}

TEST(File3gpFields, OptionalTextsFollowTheTitleInCp932) {
    const SyntheticStream stream;
    File3gpOptions options = Options(1, "着信");
    options.author = "auth";
    options.copyright = "(c)";
    options.description = "説明";
    const BoxNode root("root", Build(stream.Track(), options));
    const BoxNode& udta = *root.Find("udta");
    ASSERT_EQ(udta.ChildCount(), 4u);
    EXPECT_EQ(udta.Child(0).Name(), "titl");
    EXPECT_EQ(udta.Child(1).Name(), "auth");
    EXPECT_EQ(udta.Child(2).Name(), "cprt");
    EXPECT_EQ(udta.Child(3).Name(), "dscp");
    const auto text = [](const BoxNode& box) {
        return std::string(reinterpret_cast<const char*>(box.Body().data()) + 6, box.BodySize() - 6);
    };
    EXPECT_EQ(text(udta.Child(0)), std::string("\x92\x85\x90\x4D\0", 5));
    EXPECT_EQ(text(udta.Child(3)), std::string("\x90\xE0\x96\xBE\0", 5));
}

TEST(File3gpFields, DefaultTitleIsTheBaseName) {
    const SyntheticStream stream;
    File3gpOptions options = Options(1);
    options.title.reset();
    const BoxNode root("root", Build(stream.Track(), options, "/a.b/ring.tone.3gp"));
    const std::span<const uint8_t> titl = Body(root, "titl");
    EXPECT_EQ(std::string(titl.begin() + 6, titl.end()), std::string("ring\0", 5));
}

TEST(File3gpFields, TimesAndDurations) {
    struct Case {
        int rate, channels;
        size_t frames;
        uint32_t mediaDur, movieDur;
    };
    const Case cases[] = {
        {8000, 1, 10, 10240, 115200},
        {44100, 2, 10, 10240, 20897},  // 921600000 / 44100 rounded down
        {22050, 1, 3, 3072, 12538},
        {16000, 2, 65531, 65531 * 1024, 377458560},
    };
    for (const Case& c : cases) {
        const SyntheticStream stream(c.frames);
        const BoxNode root("root", Build(stream.Track(c.rate, c.channels), Options(1)));
        // creation, modification, timescale, duration
        EXPECT_THAT(Words(Body(root, "mvhd"), 4, 4), ElementsAre(kFixedNow, kFixedNow, 90000, c.movieDur));
        EXPECT_THAT(Words(Body(root, "mdhd"), 4, 4), ElementsAre(kFixedNow, kFixedNow, c.rate, c.mediaDur));
        // flags, creation, modification, track ID, reserved, duration
        EXPECT_THAT(Words(Body(root, "tkhd"), 0, 6), ElementsAre(0xF, kFixedNow, kFixedNow, 1, 0, c.movieDur));
        // elst inside edts: entry count, segment duration, media time, rate
        EXPECT_THAT(Words(Body(root, "edts"), 12, 4), ElementsAre(1, c.movieDur, 0, 0x10000));
        EXPECT_THAT(Words(Body(root, "stts"), 4, 3), ElementsAre(1, c.frames, 1024));
        EXPECT_EQ(GetBe32(Body(root, "mvhd").subspan(96)), 2u) << "next track ID";
    }
}

TEST(File3gpFields, ClockTimeIsSince1904) {
    const SyntheticStream stream;
    File3gpOptions options = Options(1);
    options.now.reset();
    const BoxNode root("root", Build(stream.Track(), options));
    const auto unixNow =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    const int64_t written = GetBe32(Body(root, "mvhd").subspan(4));
    EXPECT_NEAR(static_cast<double>(written - 2082902400), static_cast<double>(unixNow), 5.0);
}

TEST(File3gpFields, DcmdFollowsFileAndMoovParity) {
    struct Case {
        std::string title;     // moov = 711 + title length
        uint32_t extraInLast;  // payload 1045 + extra
        uint16_t dcmd;
    };
    const Case cases[] = {
        {"abcde", 1, 8},    // file 1830 even, moov 716 even
        {"abcdef", 0, 10},  // file 1830 even, moov 717 odd
        {"abcde", 0, 12},   // file 1829 odd, moov 716 even
        {"abcdef", 1, 14},  // file 1831 odd, moov 717 odd
    };
    for (const Case& c : cases) {
        const SyntheticStream stream(10, c.extraInLast);
        const std::vector<uint8_t> image = Build(stream.Track(), Options(1, c.title));
        const BoxNode root("root", image);
        EXPECT_EQ(GetBe16(Body(root, "dcmd")), c.dcmd) << c.title << " +" << c.extraInLast;
        EXPECT_EQ(image.size() % 2, c.dcmd >= 12 ? 1u : 0u);
    }
    File3gpOptions unpatched = Options(1);
    unpatched.patchDcmd = false;
    EXPECT_EQ(GetBe16(Body(BoxNode("root", Build(SyntheticStream().Track(), unpatched)), "dcmd")), 153);
}

TEST(File3gpFields, DescriptorLengthsFollowALongerDecoderInfo) {
    const SyntheticStream stream;
    const std::array<uint8_t, 5> info = {0x13, 0x88, 0x56, 0xE5, 0x00};
    AacTrack track = stream.Track();
    track.decoderSpecificInfo = info;
    const BoxNode root("root", Build(track, Options(1)));
    const std::span<const uint8_t> stsd = Body(root, "stsd");
    EXPECT_EQ(BoxSize(root, "stsd"), 94u);
    EXPECT_EQ(stsd[57], 28) << "ES descriptor length";
    EXPECT_EQ(stsd[62], 20) << "decoder config length";
    EXPECT_EQ(stsd[77], 5) << "decoder-specific info length";
    EXPECT_TRUE(std::equal(info.begin(), info.end(), stsd.begin() + 78));
}

TEST(File3gpNotices, JapaneseInTheFileNameIsReportedAndWritingGoesOn) {
    const SyntheticStream stream;
    for (const auto& [path, warned] : std::vector<std::pair<std::string, bool>>{
             {"/music/ring.3gp", false}, {"/音楽/ring.3gp", false}, {"/music/着信.3gp", true}}) {
        MessageRecorder recorder;
        File_3gp writer;
        EXPECT_TRUE(writer.BuildImage(path, stream.Track(), Options(1)).has_value());
        EXPECT_EQ(recorder.Texts(),
                  warned ? std::vector<std::string>{std::string(kJapaneseFileNameText)} : std::vector<std::string>{})
            << path;
    }
}

TEST(File3gpWrite, WritesTheImageAndRemuxesOnly3gp) {
    TempFolder folder;
    const SyntheticStream stream;
    for (int type : {1, 2}) {
        MessageRecorder recorder;
        const std::string path = folder.File(type == 1 ? "ring.3gp" : "ring.3g2");
        std::vector<std::string> remuxed;
        File3gpOptions options = Options(type);
        options.remux = [&](const std::string& p) {
            remuxed.push_back(p);
            return ReadFileBytes(p) == Build(stream.Track(), Options(type));
        };
        File_3gp writer;
        ASSERT_TRUE(writer.Write(path, stream.Track(), options));
        EXPECT_EQ(ReadFileBytes(path), Build(stream.Track(), Options(type)));
        EXPECT_EQ(remuxed.size(), type == 1 ? 1u : 0u);
        EXPECT_THAT(recorder.Texts(), IsEmpty());
    }
}

TEST(File3gpWrite, AFailedRemuxFailsTheWriteAndKeepsTheOldFile) {
    TempFolder folder;
    const SyntheticStream stream;
    const std::string path = folder.File("ring.3gp");
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    testing::WriteFileBytes(path, old);
    MessageRecorder recorder;
    File3gpOptions options = Options(1);
    options.remux = [](const std::string&) {
        ShowMessage("re-mux failed");
        return false;
    };
    File_3gp writer;
    EXPECT_FALSE(writer.Write(path, stream.Track(), options));
    EXPECT_EQ(ReadFileBytes(path), old);
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"re-mux failed"}) << "the re-mux's own message, alone";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1) << "no temporary file left";
}

TEST(File3gpWrite, RefusalsLeaveNoFile) {
    TempFolder folder;
    const SyntheticStream stream;
    const SyntheticStream tooLong(kMaxAacFrames + 1);
    AacTrack noBlockAlign = stream.Track();
    noBlockAlign.blockAlign = 0;
    AacTrack shortPayload = stream.Track();
    shortPayload.payload = shortPayload.payload.first(100);
    struct Case {
        std::string name;
        AacTrack track;
        int type;
        std::string path;
        std::string_view message;
    };
    const Case cases[] = {
        {"too many frames", tooLong.Track(), 1, folder.File("long.3gp"), kTooManyFramesText},
        {"unknown type", stream.Track(), 3, folder.File("three.3gp"), kBadFileTypeText},
        {"no block align", noBlockAlign, 1, folder.File("align.3gp"), kBadFileTypeText},
        {"frames beyond payload", shortPayload, 1, folder.File("short.3gp"), kBadFileTypeText},
        {"missing folder", stream.Track(), 1, folder.File("none/ring.3gp"), kFileNotWritableText},
    };
    for (const Case& c : cases) {
        MessageRecorder recorder;
        File_3gp writer;
        EXPECT_FALSE(writer.Write(c.path, c.track, Options(c.type))) << c.name;
        EXPECT_EQ(recorder.Texts(), std::vector<std::string>{std::string(c.message)}) << c.name;
        EXPECT_FALSE(std::filesystem::exists(c.path)) << c.name;
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path())) << "no temporary file stays behind";

    const SyntheticStream longest(kMaxAacFrames);
    MessageRecorder recorder;
    EXPECT_TRUE(File_3gp().BuildImage(folder.File("longest.3gp"), longest.Track(), Options(1)).has_value());
    EXPECT_THAT(recorder.Texts(), IsEmpty());
}

// Side files as an external encoder's output would give them: three frames of 5, 6 and 7
// bytes whose first chunk starts 8 bytes into the mdat body.
struct ExternalSideFiles {
    std::vector<uint8_t> stsd = {0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 8, 'n', 'o', 'n', 'e'};
    std::vector<uint8_t> stts = {0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 4, 0};
    std::vector<uint8_t> stsc = {0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};
    std::vector<uint8_t> stsz = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 5, 0, 0, 0, 6, 0, 0, 0, 7};
    std::vector<uint8_t> stco = {0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 3, 0xE8, 0, 0, 3, 0xED, 0, 0, 3, 0xF3};
    std::vector<uint8_t> hdlr = {0, 0, 0, 0, 0, 0, 0, 0, 's', 'o', 'u', 'n', 0,
                                 0, 0, 0, 0, 0, 0, 0, 0, 0,   0,   0,   'x', 0};
    // Version 0, times 0x77777777, timescale 1000, duration 70 ms.
    std::vector<uint8_t> mvhd = {0,    0,    0, 0, 0x77, 0x77, 0x77, 0x77, 0x77, 0x77,
                                 0x77, 0x77, 0, 0, 0x03, 0xE8, 0,    0,    0,    70};
    std::vector<uint8_t> mdat;

    ExternalSideFiles() {
        mdat.assign(8, 0xEE);
        for (uint8_t i = 1; i <= 18; ++i) mdat.push_back(i);
    }
    void Save(const std::string& scratchWav, std::string_view skip = {}) const {
        const std::pair<std::string_view, const std::vector<uint8_t>*> files[] = {
            {"stsd", &stsd}, {"stts", &stts}, {"stsc", &stsc}, {"stsz", &stsz},
            {"stco", &stco}, {"hdlr", &hdlr}, {"mvhd", &mvhd}, {"mdat", &mdat}};
        for (const auto& [type, bytes] : files)
            if (type != skip) testing::WriteFileBytes(SideFilePath(scratchWav, type), *bytes);
    }
};

TEST(File3gpSplice, ExternalBoxesAndPayloadReplaceOwn) {
    TempFolder folder;
    const std::string scratchWav = folder.File("tempkvt.wav");
    const ExternalSideFiles external;
    external.Save(scratchWav);
    const SyntheticStream stream;
    File3gpOptions options = Options(1);
    options.spliced = true;
    MessageRecorder recorder;
    File_3gp writer(scratchWav);
    const std::string path = folder.File("ring.3gp");
    ASSERT_TRUE(writer.Write(path, stream.Track(), options));
    EXPECT_THAT(recorder.Texts(), IsEmpty());

    const std::vector<uint8_t> image = ReadFileBytes(path);
    EXPECT_EQ(std::string(image.begin(), image.begin() + 24), std::string("\0\0\0\x18"
                                                                          "ftyp"
                                                                          "3gp5"
                                                                          "\0\0\0\x0A"
                                                                          "3gp5"
                                                                          "3gp4",
                                                                          24));
    const BoxNode root("root", image);
    for (const auto& [type, bytes] : {std::pair{"stsd", &external.stsd},
                                      {"stts", &external.stts},
                                      {"stsc", &external.stsc},
                                      {"stsz", &external.stsz},
                                      {"hdlr", &external.hdlr},
                                      {"mvhd", &external.mvhd}})
        EXPECT_THAT(Body(root, type), ElementsAreArray(*bytes)) << type;
    // Every duration describes the program's frames: 3 of 1024 samples, a 70 ms movie.
    EXPECT_THAT(Words(Body(root, "mdhd"), 16, 1), ElementsAre(3 * 1024));
    EXPECT_THAT(Words(Body(root, "tkhd"), 20, 1), ElementsAre(70));
    EXPECT_THAT(Words(Body(root, "edts"), 16, 1), ElementsAre(70)) << "elst segment duration";

    const uint32_t moov = BoxSize(root, "moov");
    const uint32_t first = 24 + moov + 16 + 24;
    EXPECT_THAT(Words(Body(root, "stco"), 4, 4), ElementsAre(3, first, first + 5, first + 11));
    EXPECT_EQ(image.size(), first + 18u);
    EXPECT_TRUE(std::equal(external.mdat.begin() + 8, external.mdat.end(), image.begin() + first));
    EXPECT_EQ(TopLevelBoxes(image).back().size, 24u + 18u);

    for (std::string_view type : kSideFileTypes)
        EXPECT_FALSE(std::filesystem::exists(SideFilePath(scratchWav, type))) << type << " side file deleted";
}

TEST(File3gpSplice, UnusableSampleTablesKeepTheWritersOwn) {
    struct Case {
        std::string name;
        std::string_view missing;
        std::function<void(ExternalSideFiles&)> damage;
        bool ownMvhd;
    };
    const Case cases[] = {
        {"stco missing", "stco", nullptr, false},
        {"mdat missing", "mdat", nullptr, false},
        {"stsz missing", "stsz", nullptr, false},
        {"mvhd missing", "mvhd", nullptr, true},
        {"chunk beyond payload", {}, [](ExternalSideFiles& f) { f.stco[19] = 0xFF; }, false},
        {"chunk before the first", {}, [](ExternalSideFiles& f) { f.stco[15] = 0x00; }, false},
        {"sizes beyond payload", {}, [](ExternalSideFiles& f) { f.stsz[23] = 0x40; }, false},
        {"stco count lies", {}, [](ExternalSideFiles& f) { f.stco[7] = 0x50; }, false},
        {"stsz count lies", {}, [](ExternalSideFiles& f) { f.stsz[11] = 0x50; }, false},
        {"mdat without its 8 bytes", {}, [](ExternalSideFiles& f) { f.mdat.resize(4); }, false},
        {"payload not shifted by 8",
         {},
         [](ExternalSideFiles& f) { f.mdat.erase(f.mdat.begin(), f.mdat.begin() + 8); },
         false},
    };
    const SyntheticStream stream;
    const std::vector<uint8_t> own = Build(stream.Track(), Options(1));
    const BoxNode ownRoot("root", own);
    for (const Case& c : cases) {
        TempFolder folder;
        const std::string scratchWav = folder.File("tempkvt.wav");
        ExternalSideFiles external;
        if (c.damage) c.damage(external);
        external.Save(scratchWav, c.missing);
        File3gpOptions options = Options(1);
        options.spliced = true;
        MessageRecorder recorder;
        File_3gp writer(scratchWav);
        const std::string path = folder.File("ring.3gp");
        ASSERT_TRUE(writer.Write(path, stream.Track(), options)) << c.name;
        const std::vector<uint8_t> image = ReadFileBytes(path);
        const BoxNode root("root", image);
        const bool tablesUsed = c.missing == "mvhd";
        EXPECT_EQ(recorder.Texts(), tablesUsed ? std::vector<std::string>{}
                                               : std::vector<std::string>{std::string(kExternalFallbackText)})
            << c.name;
        if (!tablesUsed) {
            for (std::string_view type : {"stsd", "stts", "stsc", "stsz", "mdat"})
                EXPECT_THAT(Body(root, type), ElementsAreArray(Body(ownRoot, type))) << c.name << " " << type;
            const uint32_t first = 28 + BoxSize(root, "moov") + 16 + 24;
            EXPECT_EQ(GetBe32(Body(root, "stco").subspan(8)), first) << c.name;
            EXPECT_EQ(image[3], 28) << c.name << ": own ftyp";
        }
        // The program's handler and movie header only come with its tables: its movie
        // duration would contradict the writer's own frames.
        EXPECT_THAT(Body(root, "hdlr"),
                    ElementsAreArray(tablesUsed ? std::span<const uint8_t>(external.hdlr) : Body(ownRoot, "hdlr")))
            << c.name;
        if (!tablesUsed)
            EXPECT_THAT(Body(root, "mvhd"), ElementsAreArray(Body(ownRoot, "mvhd"))) << c.name;
        else if (c.ownMvhd)  // own header, timed by the program's 3 frames at 8000 Hz
            EXPECT_THAT(Words(Body(root, "mvhd"), 12, 2), ElementsAre(90000, 3 * 1024 * 90000 / 8000)) << c.name;
        else
            EXPECT_THAT(Body(root, "mvhd"), ElementsAreArray(external.mvhd)) << c.name;
    }
}

// --- Independent readers ---------------------------------------------------------------

std::map<std::string, std::string> Probe(const std::string& path) {
    std::map<std::string, std::string> fields;
    std::istringstream lines(
        testing::RunCommand(
            "ffprobe -v error -show_entries stream=codec_name,profile,sample_rate,channels,duration_ts,duration "
            "-of default=nw=1 " +
            path)
            .output);
    for (std::string line; std::getline(lines, line);)
        if (auto eq = line.find('='); eq != std::string::npos) fields[line.substr(0, eq)] = line.substr(eq + 1);
    return fields;
}

// (indent, type) for every atom AtomicParsley lists.
std::vector<std::string> AtomTree(const std::string& path) {
    std::vector<std::string> atoms;
    std::istringstream lines(testing::RunCommand("AtomicParsley " + path + " -T 2>/dev/null").output);
    const std::regex atom(R"(^(\S*?)( *)Atom (.{4}) @)");
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_search(line, m, atom)) atoms.push_back(std::to_string(m[2].length() / 4) + m[3].str());
    }
    return atoms;
}

TEST(File3gpReaders, FfprobeAndFfmpegReadRealAacFrames) {
    TempFolder folder;
    struct Case {
        int rate, channels, type;
    };
    const Case cases[] = {{8000, 1, 1}, {8000, 1, 2}, {44100, 2, 1}, {22050, 2, 2}, {16000, 1, 1}};
    for (const Case& c : cases) {
        const std::optional<testing::AacFrames> frames = testing::MakeAacFrames(folder, c.rate, c.channels, 1.0);
        ASSERT_TRUE(frames.has_value()) << "ffmpeg made no AAC frames";
        const AacTrack track{frames->payload, frames->sizes, frames->decoderInfo, c.channels, c.rate, 2 * c.channels};
        const std::string path = folder.File(c.type == 1 ? "ring.3gp" : "ring.3g2");
        File_3gp writer;
        ASSERT_TRUE(writer.Write(path, track, Options(c.type)));

        const auto fields = Probe(path);
        const std::string label =
            std::to_string(c.rate) + "/" + std::to_string(c.channels) + "/" + std::to_string(c.type);
        EXPECT_EQ(fields.at("codec_name"), "aac") << label;
        EXPECT_EQ(fields.at("profile"), "LC") << label;
        EXPECT_EQ(fields.at("sample_rate"), std::to_string(c.rate)) << label;
        EXPECT_EQ(fields.at("channels"), std::to_string(c.channels)) << label;
        EXPECT_EQ(fields.at("duration_ts"), std::to_string(frames->sizes.size() * 1024)) << label;

        // The container carries the frames untouched: both decode to the same samples.
        const std::string fromAdts =
            testing::RunCommand("ffmpeg -v error -i " + folder.File("frames.aac") + " -f s16le - | md5sum").output;
        const std::string errors =
            testing::RunCommand("ffmpeg -v error -y -i " + path + " -f s16le " + folder.File("pcm") + " 2>&1").output;
        EXPECT_EQ(errors, "") << label;
        EXPECT_NE(fromAdts, testing::kEmptyMd5) << label;
        EXPECT_EQ(testing::RunCommand("md5sum < " + folder.File("pcm")).output, fromAdts) << label;
    }
}

TEST(File3gpReaders, EsdsBitRatesHoldForTheStreamFfprobeReads) {
    TempFolder folder;
    for (const auto& [rate, channels] : {std::pair{8000, 1}, {44100, 2}}) {
        SCOPED_TRACE(std::to_string(rate) + " Hz, " + std::to_string(channels) + " channels");
        const std::optional<testing::AacFrames> frames = testing::MakeAacFrames(folder, rate, channels, 5.0);
        ASSERT_TRUE(frames.has_value()) << "ffmpeg made no AAC frames";
        const std::string path = folder.File("ring.3gp");
        ASSERT_TRUE(File_3gp().Write(
            path, AacTrack{frames->payload, frames->sizes, frames->decoderInfo, channels, rate, 2 * channels},
            Options(1)));
        const BoxNode root("root", ReadFileBytes(path));
        const auto stsd = Body(root, "stsd");
        ASSERT_GT(stsd.size(), 80u);
        // After stsd's version and count, the mp4a entry, the esds header, its version, the
        // ES descriptor and the decoder config's tag and length.
        const auto config = stsd.subspan(8 + 36 + 8 + 4 + 5 + 2);
        const uint32_t buffer = GetBe32(config.subspan(1)) & 0xFFFFFF;
        const uint32_t maximum = GetBe32(config.subspan(5));
        const uint32_t average = GetBe32(config.subspan(9));

        // ffprobe's stream bit rate is the payload over the duration, rounded down.
        const long probed = std::stol(testing::ProbeAudioStream(path, "bit_rate").at("bit_rate"));
        EXPECT_NEAR(average, probed, 1);
        // The packets as ffprobe lists them: every second of them fits the maximum.
        std::istringstream lines(testing::RunCommand("ffprobe -v error -select_streams a:0 -show_entries "
                                                     "packet=pts,size -of csv=p=0 " +
                                                     path)
                                     .output);
        std::vector<std::pair<long, long>> packets;  // pts in samples, bytes
        for (std::string line; std::getline(lines, line);)
            packets.emplace_back(std::stol(line), std::stol(line.substr(line.find(',') + 1)));
        ASSERT_EQ(packets.size(), frames->sizes.size());
        for (size_t first = 0; first < packets.size(); ++first) {
            long bits = 0;
            for (size_t i = first; i < packets.size() && packets[i].first - packets[first].first < rate; ++i)
                bits += 8 * packets[i].second;
            ASSERT_LE(bits, maximum) << "the second from packet " << first;
            ASSERT_LE(packets[first].second, buffer) << "packet " << first;
        }
    }
}

TEST(File3gpReaders, AtomicParsleyShowsTheBoxOrder) {
    TempFolder folder;
    const SyntheticStream stream;
    File3gpOptions options = Options(1);
    options.author = "me";
    const std::string path3gp = folder.File("ring.3gp");
    ASSERT_TRUE(File_3gp().Write(path3gp, stream.Track(), options));
    // AtomicParsley does not look inside "drm " and "udta".
    const std::vector<std::string> expected3gp = {"0ftyp", "0moov", "1mvhd", "1drm ", "1trak", "2tkhd", "2edts",
                                                  "3elst", "2mdia", "3mdhd", "3hdlr", "3minf", "4smhd", "4dinf",
                                                  "5dref", "6url ", "4stbl", "5stsd", "6mp4a", "7esds", "5stts",
                                                  "5stsc", "5stsz", "5stco", "1udta", "0free", "0free", "0mdat"};
    EXPECT_EQ(AtomTree(path3gp), expected3gp);

    const std::string path3g2 = folder.File("ring.3g2");
    ASSERT_TRUE(File_3gp().Write(path3g2, stream.Track(), Options(2)));
    const std::vector<std::string> expected3g2 = {
        "0ftyp", "0mdat", "0moov", "1mvhd", "1trak", "2tkhd", "2mdia", "3mdhd", "3hdlr", "3minf", "4smhd",
        "4dinf", "5dref", "6url ", "4stbl", "5stsd", "6mp4a", "7esds", "5stts", "5stsc", "5stsz", "5stco"};
    EXPECT_EQ(AtomTree(path3g2), expected3g2);
}

}  // namespace
}  // namespace kvt
