#pragma once
// Plays a sound through a preview player and returns when it has been heard to the end,
// following the play position every 100 ms as the window's timer does. Needs a
// QCoreApplication; it runs its event loop meanwhile.

#include "app/preview/preview_player.h"
#include "convert/loaded_input.h"

namespace kvt {

// False when playback did not start (its message has been shown).
bool PlayToEnd(PreviewPlayer& player, const LoadedInput& sound);

}  // namespace kvt
