#include "Module/General/General/GeneralError.h"

#include <array>
#include <cstdio>
#include <string_view>

namespace kvt {
namespace {

struct ErrorRow {
    uint32_t code;
    std::string_view message;
};

constexpr std::array kErrorTable = {
    ErrorRow{0x01000002, "メモリが不足しています。"},
    ErrorRow{0x01000004, "パフォーマンスが低下しています。一旦終了して、再起動してください。"},
    ErrorRow{0x01000005, "ファイルが見つかりませんでした。"},
    ErrorRow{0x01000006, "16進数のデータの記述に誤りがあります。"},
    ErrorRow{0x01000007,
             "ファイルが開けませんでした。ファイルリストを絶対パスで記述してみてください。\n"
             "あるいは、出力フォルダや作業フォルダの設定などを確認してください。"},
    ErrorRow{0x0100000A, "データが大きすぎます。"},
    ErrorRow{0x0100000B, "パラメータに誤りがあります。"},
    ErrorRow{0x0100000C, "カレントディレクトリが取得できませんでした。"},
    ErrorRow{0x0100000D, "ファイルサイズにエラーがあります。"},
    ErrorRow{0x0100000E, "拍子にエラーがあります。"},
    ErrorRow{0x0100000F, "自動編曲中にエラーが発生しました。(1)"},
    ErrorRow{0x01000010, "楽曲解析中にエラーが発生しました。"},
    ErrorRow{0x01000011, "自動編曲中にエラーが発生しました。(2)"},
    ErrorRow{0x01000012, "BPM変換でエラーが発生しました。"},
    ErrorRow{0x01000013, "テンポ変換でエラーが発生しました。"},
};

constexpr std::string_view kGeneralErrorText = "汎用処理でエラーが発生しました。";

std::string_view MessageFor(uint32_t code) {
    for (const auto& row : kErrorTable)
        if (row.code == code) return row.message;
    return kGeneralErrorText;
}

}  // namespace

std::string GeneralErrorText(uint32_t code) {
    char number[16];
    std::snprintf(number, sizeof number, "GENE%08X ", static_cast<unsigned>(code));
    return number + std::string(MessageFor(code));
}

MessageAnswer ShowGeneralError(uint32_t code) {
    return ShowMessage(GeneralErrorText(code), kApplicationTitle, MessageButtons::Ok, true);
}

}  // namespace kvt
