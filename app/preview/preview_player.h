#pragma once
// What the main window asks of the preview: play the selection, stop, follow the play
// position on timer 100. The window paints the yellow band, the play line and the pressed
// play button from IsPlaying and PlayFrame, and refuses START/END while playing.

#include <cstdint>

#include "convert/loaded_input.h"

namespace kvt {

class PreviewPlayer {
public:
    virtual ~PreviewPlayer() = default;

    // Plays the selection of `input` (all of it when START equals END). Does nothing while
    // playing or when nothing is loaded; a failure shows its message and leaves it idle.
    // `input` stays where it is until Stop: the window stops the preview before it
    // replaces the block, and volume changes are made in place.
    virtual void Play(const LoadedInput& input) = 0;
    // Stops a running preview; nothing otherwise.
    virtual void Stop() = 0;
    // Every 100 ms: follows the play position and notices the end of the block.
    virtual void OnTimer() = 0;
    virtual bool IsPlaying() const = 0;
    // The frame being heard, while playing.
    virtual int64_t PlayFrame() const = 0;
};

}  // namespace kvt
