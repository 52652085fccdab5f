// kvt-convert --check and --verify: every file --all writes is sound, and damaged copies
// of those files fail with the line that names the damage.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>

#include "check/ringtone_check.h"
#include "engine/byte_order.h"
#include "kvt_convert_fixture.h"

namespace kvt::testing {
namespace {

// The offset of the first `text` at or after `from`.
size_t Find(const std::vector<uint8_t>& bytes, std::string_view text, size_t from = 0) {
    const std::vector<uint8_t> wanted(text.begin(), text.end());
    auto at = std::search(bytes.begin() + static_cast<long>(from), bytes.end(), wanted.begin(), wanted.end());
    EXPECT_NE(at, bytes.end()) << text;
    return static_cast<size_t>(at - bytes.begin());
}

// CRC-16/GENIBUS, to re-seal an MMF file after a change that must not show as a CRC fault.
void Reseal(std::vector<uint8_t>& mmf) {
    uint32_t crc = 0xFFFF;
    for (size_t i = 0; i + 4 < mmf.size(); ++i) {
        crc ^= static_cast<uint32_t>(mmf[i]) << 8;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) ? ((crc << 1) ^ 0x1021) & 0xFFFF : (crc << 1) & 0xFFFF;
    }
    SetBe16(std::span(mmf).subspan(mmf.size() - 4), static_cast<uint16_t>(crc ^ 0xFFFF));
}

class RingtoneCheck : public KvtConvert {
protected:
    RunResult WriteAll(const std::vector<std::string>& settings) const {
        std::vector<std::string> arguments = {"--all", "-q", "-o", out()};
        arguments.insert(arguments.end(), settings.begin(), settings.end());
        arguments.push_back(input_);
        return Convert(arguments);
    }
    std::string input_ = MakeSample("song.wav", "1", "22050", "2");
};

TEST_F(RingtoneCheck, EveryOutputOfAllPassesAtEveryRateAndChannelSetting) {
    const std::vector<std::vector<std::string>> rates = {
        {"--mld-rate", "4000", "--mmf-rate", "4000", "--3gp-rate", "8000"},
        {"--mld-rate", "8000", "--mmf-rate", "8000", "--3gp-rate", "16000"},
        {"--mld-rate", "16000", "--mmf-rate", "16000", "--3gp-rate", "24000"},
        {"--mld-rate", "32000", "--mmf-rate", "16000", "--3gp-rate", "32000"},
        {"--mld-rate", "8000", "--mmf-rate", "8000", "--3gp-rate", "44100", "--streaming"},
    };
    for (const char* channels : {"mono", "stereo"}) {
        for (auto settings : rates) {
            std::filesystem::remove_all(out());
            std::filesystem::create_directory(out());
            settings.insert(settings.end(), {"--mld-channels", channels, "--mmf-channels", channels, "--3gp-channels",
                                             channels, "--verify"});
            const RunResult written = WriteAll(settings);
            ASSERT_EQ(written.exitCode, 0) << written.err << " " << settings[1] << " " << channels;
            std::vector<std::string> files = {"--check"};
            for (const std::string& name : OutFiles()) files.push_back(out() + "/" + name);
            ASSERT_GT(files.size(), 3u);
            const RunResult checked = Convert(files);
            EXPECT_EQ(checked.exitCode, 0) << checked.out;
            EXPECT_EQ(checked.out.find("problem"), std::string::npos) << checked.out;
        }
    }
}

TEST_F(RingtoneCheck, DamagedFilesFailWithTheLineNamingTheDamage) {
    ASSERT_EQ(WriteAll({"--mld-rate", "8000", "--mmf-rate", "8000", "--3gp-rate", "8000"}).exitCode, 0);
    const auto mld = ReadFileBytes(out() + "/song_n2.mld");
    const auto v4 = ReadFileBytes(out() + "/song_93.mld");
    const auto mmf = ReadFileBytes(out() + "/song.mmf");
    const auto aac = ReadFileBytes(out() + "/song.3gp");
    ASSERT_TRUE(!mld.empty() && !v4.empty() && !mmf.empty() && !aac.empty());

    struct Case {
        const char* damage;
        const std::vector<uint8_t>& file;
        const char* name;
        std::function<void(std::vector<uint8_t>&)> harm;
        const char* line;
    };
    const Case cases[] = {
        {"MLD file length field flipped", mld, "a.mld", [](auto& f) { f[7] ^= 0xFF; }, "file length field: found"},
        {"MLD header length flipped", mld, "a.mld", [](auto& f) { f[9] ^= 0x04; },
         "'vers' length: found 4, expected at most 0"},
        {"MLD cut in the audio", v4, "a.mld", [](auto& f) { f.resize(f.size() / 2); }, "'adat' length: found"},
        {"MLD stray chunk after the track", mld, "a.mld",
         [](auto& f) {
             PutText(f, "junk");
             PutBe32(f, 0);
             SetBe32(std::span(f).subspan(4), static_cast<uint32_t>(f.size() - 8));
         },
         "found 'junk', expected none after 'trac'"},
        {"MLD piece length one short", mld, "a.mld",
         [](auto& f) {
             const size_t event = Find(f, std::string_view("\x11\x01\xF0", 3)) - 2;
             SetBe16(std::span(f).subspan(event), static_cast<uint16_t>(GetBe16(std::span(f).subspan(event)) - 1));
         },
         "track time: found"},
        {"MMF wrong CRC", mmf, "a.mmf", [](auto& f) { f[f.size() - 3] ^= 0x01; }, "CRC: found"},
        {"MMF cut file", mmf, "a.mmf", [](auto& f) { f.resize(f.size() - 100); }, "MMMD length: found"},
        {"MMF length field of Mtsq flipped", mmf, "a.mmf",
         [](auto& f) {
             f[Find(f, "Mtsq") + 7] ^= 0x40;
             Reseal(f);
         },
         "Mtsq: found 64 bytes after the end event"},
        {"MMF stray chunk", mmf, "a.mmf",
         [](auto& f) {
             const size_t opda = Find(f, "OPDA");
             const std::vector<uint8_t> stray = {'j', 'u', 'n', 'k', 0, 0, 0, 0};
             f.insert(f.begin() + static_cast<long>(opda), stray.begin(), stray.end());
             SetBe32(std::span(f).subspan(4), GetBe32(std::span(f).subspan(4)) + 8);
             Reseal(f);
         },
         "found 'junk', expected 'OPDA'"},
        {"3GP frame table one short", aac, "a.3gp",
         [](auto& f) {
             const size_t stsz = Find(f, "stsz");
             SetBe32(std::span(f).subspan(stsz + 12), GetBe32(std::span(f).subspan(stsz + 12)) - 1);
         },
         "stsz sample count: found"},
        {"3GP oversized AAC frame", aac, "a.3gp",
         [](auto& f) { SetBe32(std::span(f).subspan(Find(f, "stsz") + 16), 769); },
         "frame 1 size: found 769 bytes, expected at most 768"},
        {"3GP cut file", aac, "a.3gp", [](auto& f) { f.resize(f.size() - 10); }, "'mdat' box size: found"},
        {"3GP esds channels wrong", aac, "a.3gp",
         [](auto& f) {
             const size_t info = Find(f, std::string_view("\x05\x02", 2), Find(f, "esds")) + 2;
             f[info + 1] = static_cast<uint8_t>((f[info + 1] & 0x87) | (2 << 3));
         },
         "esds channels: found 2, expected 1"},
        {"3GP edit starting after the audio", aac, "a.3gp",
         [](auto& f) { SetBe32(std::span(f).subspan(Find(f, "elst") + 16), 0x7FFFFFFF); },
         "elst entry 1 media time: found 2147483647"},
        {"3GP stsc naming a second description", aac, "a.3gp",
         [](auto& f) { SetBe32(std::span(f).subspan(Find(f, "stsc") + 20), 2); },
         "stsc entry 1 sample description: found 2, expected 1"},
        {"3GP media in another file", aac, "a.3gp", [](auto& f) { f[Find(f, "url ") + 7] = 0; },
         "'url ' flags: found 0x0"},
        {"3GP major brand not among the compatible", aac, "a.3gp",
         [](auto& f) { std::copy_n("3gp6", 4, f.begin() + 16); }, "ftyp compatible brands: found 3gp6, 3gp5, 3gp4"},
        {"3GP esds maximum below the stream's", aac, "a.3gp",
         [](auto& f) { SetBe32(std::span(f).subspan(Find(f, "esds") + 20), 1000); },
         "esds maximum bit rate: found 1000"},
        {"3GP esds average below the stream's", aac, "a.3gp",
         [](auto& f) { SetBe32(std::span(f).subspan(Find(f, "esds") + 24), 1000); },
         "esds average bit rate: found 1000"},
        {"right content, wrong extension", mmf, "a.mld", [](auto&) {}, "file name extension: found '.mld'"},
        {"garbage", mmf, "a.mmf", [](auto& f) { f.assign(300, 0x5A); }, "file: found 300 bytes starting 'ZZZZ"},
        {"empty file", mmf, "a.mmf", [](auto& f) { f.clear(); }, "file: found an empty file"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> damaged = c.file;
        c.harm(damaged);
        const CheckReport report = CheckRingtoneBytes(damaged, c.name);
        EXPECT_FALSE(report.Sound()) << c.damage;
        bool named = false;
        std::string lines;
        for (const CheckProblem& problem : report.problems) {
            const std::string line = problem.field + ": found " + problem.found + ", expected " + problem.expected;
            named = named || line.find(c.line) != std::string::npos;
            lines += line + "\n";
        }
        EXPECT_TRUE(named) << c.damage << ": wanted \"" << c.line << "\" among\n" << lines;
    }
}

TEST_F(RingtoneCheck, EveryCutOfA3gpOr3g2FileIsFoundOut) {
    ASSERT_EQ(WriteAll({"--mld-rate", "8000", "--3gp-rate", "16000", "--3gp-channels", "stereo"}).exitCode, 0);
    for (const char* name : {"song.3gp", "song.3g2"}) {
        const std::vector<uint8_t> file = ReadFileBytes(out() + "/" + name);
        ASSERT_TRUE(CheckRingtoneBytes(file, name).Sound()) << name;
        for (size_t size = 0; size < file.size(); size += 7)
            ASSERT_FALSE(CheckRingtoneBytes(std::span(file).first(size), name).Sound()) << name << " cut to " << size;
    }
}

TEST_F(RingtoneCheck, CheckPrintsOneBlockPerFileAndFailsOnAnUnsoundOne) {
    ASSERT_EQ(WriteAll({"--mld-rate", "8000", "--mmf-rate", "8000"}).exitCode, 0);
    std::ofstream(out() + "/noise.mmf") << "not a ringtone";
    const RunResult run = Convert({"--check", out() + "/song.mmf", out() + "/noise.mmf", out() + "/missing.3gp"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("song.mmf: MMF, sound\n    rate: 8000 Hz\n    channels: mono\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("noise.mmf: not a ringtone file\n    problem: file: found 14 bytes"), std::string::npos);
    EXPECT_NE(run.out.find("missing.3gp: not a ringtone file\n    problem: file: found no such file"),
              std::string::npos);
    EXPECT_EQ(Convert({"--check", out() + "/song.3gp", out() + "/song_n1.mld"}).exitCode, 0);
}

TEST_F(RingtoneCheck, JsonReportParsesBackWithOneObjectPerFile) {
    ASSERT_EQ(WriteAll({"--mld-rate", "8000", "--mmf-rate", "8000"}).exitCode, 0);
    std::vector<uint8_t> damaged = ReadFileBytes(out() + "/song.mmf");
    damaged.back() ^= 1;  // the CRC
    {
        std::ofstream(out() + "/crc.mmf", std::ios::binary)
            .write(reinterpret_cast<const char*>(damaged.data()), static_cast<std::streamsize>(damaged.size()));
    }
    std::ofstream(out() + "/noise \"\xff\".mmf") << "not a ringtone";
    const struct {
        std::string file;
        nlohmann::json format;
        bool sound;
        const char* problemField;  // of the first problem; "" for any
    } rows[] = {
        {"song.3gp", "3GP", true, nullptr},
        {"song_n1.mld", "MLD", true, nullptr},
        {"crc.mmf", "MMF", false, ""},
        {"noise \"\xff\".mmf", nullptr, false, "file"},
    };
    for (bool withBad : {false, true}) {
        SCOPED_TRACE(withBad ? "with unsound files" : "sound files");
        std::vector<std::string> arguments = {"--check", "--json"};
        const size_t count = withBad ? std::size(rows) : 2;
        for (size_t i = 0; i < count; ++i) arguments.push_back(out() + "/" + rows[i].file);
        const RunResult run = Convert(arguments);
        EXPECT_EQ(run.exitCode, withBad ? 1 : 0);
        const nlohmann::json document = nlohmann::json::parse(run.out, nullptr, false);
        ASSERT_TRUE(document.is_array()) << run.out;
        ASSERT_EQ(document.size(), count);
        for (size_t i = 0; i < count; ++i) {
            SCOPED_TRACE(rows[i].file);
            const nlohmann::json& file = document[i];
            EXPECT_EQ(file["format"], rows[i].format);
            EXPECT_EQ(file["sound"], rows[i].sound);
            EXPECT_EQ(file["problems"].empty(), rows[i].problemField == nullptr);
            if (rows[i].problemField) {
                if (*rows[i].problemField) {
                    EXPECT_EQ(file["problems"][0]["field"], rows[i].problemField);
                }
                EXPECT_TRUE(file["problems"][0]["found"].is_string());
                EXPECT_TRUE(file["problems"][0]["expected"].is_string());
            }
            if (rows[i].sound) {
                EXPECT_TRUE(file["facts"].contains("duration")) << file.dump();
                EXPECT_EQ(file["path"], out() + "/" + rows[i].file);
            }
        }
    }
    EXPECT_EQ(Convert({"--json", out() + "/song.mmf"}).exitCode, 2);
}

}  // namespace
}  // namespace kvt::testing
