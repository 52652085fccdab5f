#pragma once
// The preview of a program without an audio device: every attempt to play says so.

#include "app/preview/preview_player.h"
#include "platform/message.h"

namespace kvt {

inline constexpr const char* kCannotPlayText = "このファイルの再生はできません。変換は可能かもしれません。";

class UnavailablePreview : public PreviewPlayer {
public:
    void Play(const LoadedInput& input) override {
        if (input.isLoaded) ShowMessage(kCannotPlayText);
    }
    void Stop() override {}
    void OnTimer() override {}
    bool IsPlaying() const override { return false; }
    int64_t PlayFrame() const override { return 0; }
};

}  // namespace kvt
