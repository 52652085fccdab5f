#include "app/preview/play_to_end.h"

#include <QEventLoop>
#include <QTimer>

namespace kvt {

bool PlayToEnd(PreviewPlayer& player, const LoadedInput& sound) {
    player.Play(sound);
    if (!player.IsPlaying()) return false;
    QEventLoop loop;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        player.OnTimer();
        if (!player.IsPlaying()) loop.quit();
    });
    timer.start(100);
    loop.exec();
    return true;
}

}  // namespace kvt
