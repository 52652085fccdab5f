#pragma once
// Numbered errors of the general library: "GENE" and the code in eight hexadecimal digits,
// then the code's fixed message, in a system-modal box.

#include "platform/message.h"

#include <cstdint>
#include <string>

namespace kvt {

// The codes this system raises; the table holds a few more.
inline constexpr uint32_t kGneErrorNoMemory = 0x01000002;
inline constexpr uint32_t kGneErrorCannotOpenFile = 0x01000007;
inline constexpr uint32_t kGneErrorDataTooLarge = 0x0100000A;
inline constexpr uint32_t kGneErrorNoCurrentDirectory = 0x0100000C;
inline constexpr uint32_t kGneErrorFileSize = 0x0100000D;

// "GENE%08X %s": the code in upper-case hexadecimal and its message; a code without a row
// of its own takes the general message.
std::string GeneralErrorText(uint32_t code);

// Shows the text with an OK button, system-modal, under the application title. The caller
// always goes on afterwards and decides what the failure means.
MessageAnswer ShowGeneralError(uint32_t code);

}  // namespace kvt
