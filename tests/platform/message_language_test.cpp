#include "platform/message_language.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <regex>
#include <set>

#include "platform/japanese_text.h"
#include "platform/temp_folder.h"

namespace kvt {
namespace {

// The folders whose texts kvt-convert shows.
constexpr const char* kMessageFolders[] = {"Module", "platform", "engine", "iso",        "check",
                                           "input",  "convert",  "cli",    "app/preview"};
// Japanese literals there that are data rather than messages: a handset family of the
// preset table and the folder browser's title (never shown by kvt-convert).
const std::set<std::string> kNotMessages = {"LG電子携帯", "フォルダを選択してください"};

struct Literal {
    std::string text;
    std::string declaredAs;  // the constant it initialises, when it is one
};

// The string literals of a C++ source, adjacent ones joined, comments skipped.
std::vector<Literal> LiteralsOf(const std::string& source) {
    std::vector<Literal> literals;
    std::string pending;
    bool inLiteral = false;  // a literal was read and no token has followed it yet
    size_t literalStart = 0;
    auto finish = [&] {
        if (!inLiteral) return;
        static const std::regex declaration(R"((k\w+(?:Text|Format))\s*(?:\[\])?\s*=\s*$)");
        std::smatch match;
        const std::string before =
            source.substr(literalStart > 200 ? literalStart - 200 : 0, literalStart > 200 ? 200 : literalStart);
        std::string name = std::regex_search(before, match, declaration) ? match[1].str() : "";
        literals.push_back({pending, name});
        pending.clear();
        inLiteral = false;
    };
    for (size_t at = 0; at < source.size();) {
        if (source.compare(at, 2, "//") == 0) {
            at = source.find('\n', at);
            if (at == std::string::npos) break;
        } else if (source.compare(at, 2, "/*") == 0) {
            at = source.find("*/", at) + 2;
        } else if (source[at] == '\'' && at > 0 && std::isalnum(static_cast<unsigned char>(source[at - 1]))) {
            ++at;  // a digit separator
        } else if (source[at] == '\'') {
            finish();
            at += source[at + 1] == '\\' ? 4 : 3;
        } else if (source[at] == '"') {
            if (!inLiteral) literalStart = at;
            inLiteral = true;
            for (++at; source[at] != '"'; ++at) {
                if (source[at] != '\\') {
                    pending += source[at];
                    continue;
                }
                const char escaped = source[++at];
                pending += escaped == 'n' ? '\n' : escaped;
            }
            ++at;
        } else {
            if (!std::isspace(static_cast<unsigned char>(source[at]))) finish();
            ++at;
        }
    }
    finish();
    return literals;
}

// The pieces of a table text between its conversions.
std::vector<std::string> PiecesOf(std::string_view text) {
    static const std::regex conversion("%d|%\\.1f|%s");
    std::string whole(text);
    std::vector<std::string> pieces;
    for (std::sregex_token_iterator it(whole.begin(), whole.end(), conversion, -1), end; it != end; ++it)
        if (it->length() > 0) pieces.push_back(*it);
    return pieces;
}

TEST(MessageLanguage, EveryMessageTextOfTheSourcesHasItsRowInTheTable) {
    std::set<std::string> covered;
    for (const MessageRendition& row : MessageRenditions()) {
        covered.insert(std::string(row.text));
        for (const std::string& piece : PiecesOf(row.text)) covered.insert(piece);
    }
    const std::filesystem::path root = KVT_SOURCE_DIR;
    size_t constants = 0;
    for (const char* folder : kMessageFolders) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root / folder)) {
            const auto extension = entry.path().extension();
            if ((extension != ".cpp" && extension != ".h") || entry.path().filename() == "message_language.cpp")
                continue;
            for (const Literal& literal : LiteralsOf(testing::ReadWholeFile(entry.path()))) {
                const bool message = !literal.declaredAs.empty() || testing::ContainsJapanese(literal.text);
                if (!message || kNotMessages.count(literal.text)) continue;
                constants += literal.declaredAs.empty() ? 0 : 1;
                EXPECT_TRUE(covered.count(literal.text))
                    << entry.path().lexically_relative(root).string() << ": " << literal.declaredAs << " \""
                    << literal.text << "\" has no English";
            }
        }
    }
    EXPECT_GT(constants, 100u) << "the scan found too few message constants to be looking at the sources";
}

TEST(MessageLanguage, EnglishHoldsNoJapaneseAndTheValuesOfItsText) {
    static const std::regex conversion("%d|%\\.1f|%s");
    auto conversions = [](std::string_view text) {
        std::string whole(text);
        std::vector<std::string> found;
        for (std::sregex_iterator it(whole.begin(), whole.end(), conversion), end; it != end; ++it)
            found.push_back(it->str());
        return found;
    };
    for (const MessageRendition& row : MessageRenditions()) {
        SCOPED_TRACE(std::string(row.text));
        EXPECT_FALSE(row.english.empty());
        EXPECT_FALSE(testing::ContainsJapanese(row.english)) << row.english;
        EXPECT_EQ(conversions(row.english), conversions(row.text));
        if (!row.japanese.empty()) {
            EXPECT_TRUE(row.japanese.starts_with(row.text.substr(0, row.text.find('%'))));
            EXPECT_TRUE(testing::ContainsJapanese(row.japanese)) << "the key's explanation is Japanese";
        }
    }
}

TEST(MessageLanguage, ComposedMessagesAreRenderedPieceByPiece) {
    struct Case {
        std::string text;
        std::string english;
        std::string japanese;  // empty: as it is
    };
    const Case cases[] = {
        {"/out/dirにファイルを保存しました。", "Files saved in /out/dir.", ""},
        {"samplerate_f04:lg", "samplerate_f04:lg: the handset's preset does not take 4000 Hz.",
         "samplerate_f04:lg（この機種のプリセットは4000Hzに対応していません）"},
        {"error2", "error2: the handset's row has no MLD layout.",
         "error2（この機種の行にMLDのレイアウトがありません）"},
        {"an error", "an error", ""},
        {"12 行目: INDEX が正しくありません", "line 12: the INDEX is wrong", ""},
        {"/a.cue: トラック 3 の開始位置がファイルの外にあります", "/a.cue: track 3 starts outside its file", ""},
        {"ファイルが途中で切れています。ヘッダーでは2.0秒ですが、読み込めたのは1.5秒です。",
         "The file is cut short: its header says 2.0 s, but only 1.5 s could be read.", ""},
        {"aacエンコーダを開けませんでした。(48000 Hz, 2チャンネル)",
         "The AAC encoder could not be opened. (48000 Hz, 2 channels)", ""},
        {"GENE01000007 ファイルが開けませんでした。ファイルリストを絶対パスで記述してみてください。\n"
         "あるいは、出力フォルダや作業フォルダの設定などを確認してください。",
         "GENE01000007 The file could not be opened. Try absolute paths in the file list,\n"
         "or check the output folder and the work folder.",
         ""},
        {"対応していないビット数のWAVファイルです。 [12]", "The WAV file has a bit depth that is not supported. [12]",
         ""},
        {"CD-ROMドライブではありません。\n/dev/sr0: Permission denied"
         "（このユーザーが cdrom グループに入っていない可能性があります）",
         "This is not a CD-ROM drive.\n/dev/sr0: Permission denied (this user may not be in the cdrom group)", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(LocalizedMessage(c.text, false), c.english);
        EXPECT_EQ(LocalizedMessage(c.text, true), c.japanese.empty() ? c.text : c.japanese);
    }
}

TEST(MessageLanguage, TheFirstLocaleVariableSetDecides) {
    struct Case {
        const char* all;
        const char* messages;
        const char* lang;
        bool japanese;
    };
    const Case cases[] = {
        {nullptr, nullptr, nullptr, false},       {nullptr, nullptr, "ja_JP.UTF-8", true},
        {"C", nullptr, "ja_JP.UTF-8", false},     {"", "ja", "C", true},
        {nullptr, "en_US.UTF-8", "ja_JP", false}, {"ja_JP.eucJP", "C", "C", true},
        {nullptr, nullptr, "jv_ID", false},
    };
    auto put = [](const char* name, const char* value) { value ? setenv(name, value, 1) : unsetenv(name); };
    std::vector<std::optional<std::string>> saved;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        saved.push_back(getenv(name) ? std::optional<std::string>(getenv(name)) : std::nullopt);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.all ? c.all : "-") + " " + (c.messages ? c.messages : "-") + " " +
                     (c.lang ? c.lang : "-"));
        put("LC_ALL", c.all);
        put("LC_MESSAGES", c.messages);
        put("LANG", c.lang);
        EXPECT_EQ(MessagesInJapanese(), c.japanese);
    }
    put("LC_ALL", saved[0] ? saved[0]->c_str() : nullptr);
    put("LC_MESSAGES", saved[1] ? saved[1]->c_str() : nullptr);
    put("LANG", saved[2] ? saved[2]->c_str() : nullptr);
}

}  // namespace
}  // namespace kvt
