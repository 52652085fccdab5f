#pragma once
// The engine's message display: a printf-style text in a modal box with an OK button,
// through the platform message function, and the texts more than one file shows.

#include <string_view>

namespace kvt {

inline constexpr std::string_view kNoMemoryText = "no memory";
inline constexpr std::string_view kFileSizeText = "filesize";
inline constexpr std::string_view kNotPcmText = "This is not pcm data.";
inline constexpr std::string_view kErrorText = "Error";
inline constexpr std::string_view kUnsupportedBitsText = "対応していないビット数です。";
inline constexpr std::string_view kFileTooLargeText = "ファイルのサイズが大きすぎます。";
inline constexpr std::string_view kFileNotWritableText = "ファイルが書き込めませんでした。";

void ShowEngineMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kvt
