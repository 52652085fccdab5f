#include "cli/play_command.h"

#include <QCoreApplication>
#include <optional>

#include "app/preview/play_to_end.h"
#include "app/preview/ringtone_sound.h"
#include "app/preview/sink_preview_player.h"
#include "cli/console.h"
#include "cli/convert_command.h"

namespace kvt::cli {

int RunPlayCommand(const std::string& path, std::unique_ptr<AudioOutput> output, std::FILE* err) {
    // The sound device needs an application object; the window's tests bring their own.
    std::optional<QCoreApplication> application;
    static int argc = 1;
    static char name[] = "kvt-convert";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) application.emplace(argc, argv);

    Console console(stdout, err, false, false);
    const MessageSink previous = SetMessageSink(console.Sink());
    Console::SetCurrentInput(path);
    int status = kExitFailed;
    if (const std::optional<LoadedInput> sound = RingtoneSound(path)) {
        SinkPreviewPlayer player(std::move(output));
        if (PlayToEnd(player, *sound)) status = kExitSuccess;
    }
    Console::SetCurrentInput("");
    SetMessageSink(previous);
    return status;
}

}  // namespace kvt::cli
