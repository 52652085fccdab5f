#pragma once
// Preview playback of the loaded input: the selection (or, when START equals END, the
// whole input) plays once through an AudioOutput that reads the window's block directly,
// so the block must stay in place until Stop. Timer 100 moves the play frame and notices
// the end of the block.

#include <memory>
#include <string_view>

#include "app/preview/audio_output.h"
#include "app/preview/pcm_block_reader.h"
#include "app/preview/preview_player.h"
#include "convert/loaded_input.h"

namespace kvt {

inline constexpr std::string_view kCannotPlayText = "このファイルの再生はできません。変換は可能かもしれません。";
inline constexpr std::string_view kPlayHeaderErrorText =
    "WAV再生のヘッダー処理でエラーが発生しました。他のアプリケーションを全部閉じてやりなおしてみてください。";
inline constexpr std::string_view kPlayWriteErrorText =
    "WAV再生の書き出し処理でエラーが発生しました。他のアプリケーションを全部閉じてやりなおしてみてください。";

// The second line under the texts above, saying what to do about it.
inline constexpr std::string_view kNoSoundDeviceText =
    "（音を出す装置が見つかりません。サウンドサーバーが動いているか確かめてください）";
inline constexpr std::string_view kSoundServerStoppedText =
    "（サウンドサーバーが止まりました。サーバーを起動してからもう一度再生してください）";

class SinkPreviewPlayer : public PreviewPlayer {
public:
    explicit SinkPreviewPlayer(std::unique_ptr<AudioOutput> output);
    ~SinkPreviewPlayer() override;

    void Play(const LoadedInput& input) override;
    void Stop() override;
    void OnTimer() override;
    bool IsPlaying() const override { return playing_; }
    int64_t PlayFrame() const override { return playFrame_; }

private:
    void CloseOutput();

    std::unique_ptr<AudioOutput> output_;
    std::unique_ptr<PcmBlockReader> reader_;  // over the playing input's block
    bool playing_ = false;
    int64_t firstFrame_ = 0;  // frame of the block where playback began
    int64_t frameCount_ = 0;  // frames being played
    int64_t playFrame_ = 0;
};

}  // namespace kvt
