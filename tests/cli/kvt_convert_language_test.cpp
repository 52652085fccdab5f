// kvt-convert's language: the core's texts as they are in a Japanese locale, in English
// (with no Japanese left) in any other, internal keys with their explanation in both.

#include "kvt_convert_fixture.h"
#include "platform/japanese_text.h"

namespace kvt::testing {
namespace {

TEST_F(KvtConvert, MessagesAreEnglishOutsideAJapaneseLocaleAndAsTheyAreInIt) {
    struct Case {
        const char* what;
        std::vector<std::string> arguments;
        std::string japanese;
        std::string english;
    };
    const std::string song = MakeSample("song.wav", "8");
    const std::string readme = folder.Write("README.txt", "text");
    const std::string cue = folder.Write("disc.cue", "TRACK 01 AUDIO\n");
    const Case cases[] = {
        {"no output chosen",
         {song},
         "kvt-convert: 変換できませんでした。: 変換するファイルの種類を決めてください。 (choose outputs with "
         "--all, --mld, --mmf, --3gp or --3g2)\n",
         "kvt-convert: Not converted: Choose the kinds of file to convert to. (choose outputs with --all, "
         "--mld, --mmf, --3gp or --3g2)\n"},
        {"over the size ceiling",
         {"--mld", "n1", "--mld-limit", "10", "-o", out(), song},
         "kvt-convert: song.wav: song_n1.mld: 指定されたファイルサイズの制限を越えています。\n",
         "kvt-convert: song.wav: song_n1.mld: The file is larger than the size limit chosen.\n"},
        {"a preset that refuses the rate",
         {"--mld", "LG", "-o", out(), song},
         "song_lg.mld: samplerate_f04:lg（この機種のプリセットは4000Hzに対応していません）\n",
         "song_lg.mld: samplerate_f04:lg: the handset's preset does not take 4000 Hz.\n"},
        {"an input of no known kind",
         {"--mmf", "-o", out(), readme},
         "kvt-convert: README.txt: このファイルは変換できません。 (kvt-convert reads",
         "kvt-convert: README.txt: This file cannot be converted. (kvt-convert reads"},
        {"the closing notice",
         {"--mmf", "-o", out(), song},
         out() + "にファイルを保存しました。\n",
         "Files saved in " + out() + ".\n"},
        {"a broken cue sheet",
         {"--cd-image", "D=" + cue, "--mmf", "-o", out(), "D:\\Track01.cda"},
         "FILE より前に TRACK があります",
         "a TRACK comes before any FILE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        locale = "ja_JP.UTF-8";
        RunResult run = Convert(c.arguments);
        EXPECT_TRUE(run.ErrHas(c.japanese)) << run.err;
        locale = "C";
        run = Convert(c.arguments);
        EXPECT_TRUE(run.ErrHas(c.english)) << run.err;
        EXPECT_FALSE(ContainsJapanese(run.err)) << run.err;
    }
}

}  // namespace
}  // namespace kvt::testing
