#include "convert/conversion_host.h"

#include "platform/message.h"

namespace kvt {
namespace {

constexpr std::string_view kChooseFileText = "ファイルを選択してください。";
constexpr std::string_view kOutOfMemoryText = "メモリの割り当てに失敗しました。ファイルが大きすぎる可能性があります。";
constexpr std::string_view kUnknownErrorText = "CMFCzorvikDlg::ErrorMsg";

}  // namespace

std::string_view ErrorMsgText(int code) {
    switch (code) {
    case 1: return kChooseFileText;
    case 2: return kOutOfMemoryText;
    default: return kUnknownErrorText;
    }
}

void ShowErrorMsg(int code) {
    ShowMessage(ErrorMsgText(code));
}

void ConversionHost::ShowSizeMessages(const SizeMessages& messages) {
    if (!messages.Empty()) ShowMessage(SizeMessagesText(messages));
}

void ConversionHost::ShowClosingMessage(const std::string& text) {
    ShowMessage(text);
}

}  // namespace kvt
