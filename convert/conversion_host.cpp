#include "convert/conversion_host.h"

#include "platform/message.h"

namespace kvt {

std::string_view ErrorMsgText(int code) {
    switch (code) {
    case 1: return "ファイルを選択してください。";
    case 2: return "メモリの割り当てに失敗しました。ファイルが大きすぎる可能性があります。";
    default: return "CMFCzorvikDlg::ErrorMsg";
    }
}

void ShowErrorMsg(int code) {
    ShowMessage(ErrorMsgText(code));
}

void ConversionHost::ShowClosingMessage(const std::string& text) {
    ShowMessage(text);
}

}  // namespace kvt
