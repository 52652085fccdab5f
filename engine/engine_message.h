#pragma once
// The engine's message display: a printf-style text in a modal box with an OK button,
// through the platform message function.

namespace kvt {

void ShowEngineMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kvt
