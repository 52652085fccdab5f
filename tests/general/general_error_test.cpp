#include "Module/General/General/GeneralError.h"

#include <gtest/gtest.h>

namespace kvt {
namespace {

constexpr const char* kGeneralErrorText = "汎用処理でエラーが発生しました。";

TEST(GeneralError, TextIsPrefixEightUpperCaseDigitsAndTheCodesMessage) {
    struct Case {
        uint32_t code;
        std::string expected;
    };
    const Case cases[] = {
        {0x01000002, "GENE01000002 メモリが不足しています。"},
        {0x0100000C, "GENE0100000C カレントディレクトリが取得できませんでした。"},
        {0x0100000A, "GENE0100000A データが大きすぎます。"},
        {0x0100000D, "GENE0100000D ファイルサイズにエラーがあります。"},
        {0x01000013, "GENE01000013 テンポ変換でエラーが発生しました。"},
        {0x01000007,
         "GENE01000007 ファイルが開けませんでした。ファイルリストを絶対パスで記述してみてください。\n"
         "あるいは、出力フォルダや作業フォルダの設定などを確認してください。"},
        // Codes in the gaps of the table and outside it keep their own number.
        {0x01000003, std::string("GENE01000003 ") + kGeneralErrorText},
        {0x01000008, std::string("GENE01000008 ") + kGeneralErrorText},
        {0x01000009, std::string("GENE01000009 ") + kGeneralErrorText},
        {0x01000014, std::string("GENE01000014 ") + kGeneralErrorText},
        {0x00000002, std::string("GENE00000002 ") + kGeneralErrorText},
        {0xDEADBEEF, std::string("GENEDEADBEEF ") + kGeneralErrorText},
        {0, std::string("GENE00000000 ") + kGeneralErrorText},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(GeneralErrorText(c.code), c.expected);
    }
}

TEST(GeneralError, ShowsOneSystemModalOkBoxUnderTheApplicationTitle) {
    MessageRecorder recorder;
    EXPECT_EQ(ShowGeneralError(kGneErrorNoCurrentDirectory), MessageAnswer::Ok);
    auto requests = recorder.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].text, "GENE0100000C カレントディレクトリが取得できませんでした。");
    EXPECT_EQ(requests[0].caption, kApplicationTitle);
    EXPECT_EQ(requests[0].buttons, MessageButtons::Ok);
    EXPECT_TRUE(requests[0].systemModal);
}

}  // namespace
}  // namespace kvt
