#include "app/application.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QSocketNotifier>
#include <QTimer>

#include "app/cd/cd_ripping.h"
#include "app/cd/cd_track_places.h"
#include "app/main_window/main_window.h"
#include "app/qt_platform/qt_dialogs.h"
#include "app/qt_platform/qt_message_box.h"
#include "app/settings_dialog/settings_dialog.h"
#include "app/skin/skin_image.h"
#include "app/start_options.h"
#include "input/cd/image_drive.h"
#include "platform/cleanup_registry.h"
#include "platform/message.h"
#include "platform/paths.h"

#ifndef KVT_VERSION
#define KVT_VERSION "unknown"
#endif

namespace kvt {
namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitNoDisplay = 1;
constexpr int kExitUsage = 2;
constexpr int kSignalExitBase = 128;
constexpr const char* kNoGraphicalSessionText =
    "kvt: this window needs a graphical session (neither DISPLAY nor WAYLAND_DISPLAY is set); "
    "kvt-convert converts without one\n";

int signalPipe[2] = {-1, -1};
int endingSignal = 0;  // the signal that ended the run; read and written on the GUI thread

int childEndPipe[2] = {-1, -1};

void OnTerminationSignal(int signal) {
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] ssize_t written = write(signalPipe[1], &byte, 1);
    written = write(childEndPipe[1], &byte, 1);
}

// The window's thread may be waiting for an external program (an MP3 decoder) when the
// signal comes, and only that program's end lets the wait return to the event loop: a
// thread of its own ends every running external program with its group first.
void EndChildGroupsOnSignal() {
    if (pipe2(childEndPipe, O_CLOEXEC) != 0) return;
    fcntl(childEndPipe[1], F_SETFL, O_NONBLOCK);
    std::thread([] {
        for (;;) {
            char byte;
            const ssize_t got = read(childEndPipe[0], &byte, 1);
            if (got == 1) EndChildGroups();
            if (got == 0 || (got < 0 && errno != EINTR)) return;
        }
    }).detach();
}

// SIGINT, SIGTERM and SIGHUP end the program like the exit button, so the settings are
// saved on that way out too. The handler is in place before Qt starts and before the first
// dialog (the first-start folder browser) can open: a signal that comes early waits in the
// pipe until the first event loop runs.
void CatchTerminationSignals() {
    if (pipe(signalPipe) != 0) return;
    fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

// Every event loop is left, also those of an open dialog or message box (and any opened
// later returns at once): closing the window alone would leave the program running behind
// a box that waits for a user who has gone.
void EndOnTerminationSignals(QCoreApplication& application) {
    if (signalPipe[0] < 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &application);
    QObject::connect(notifier, &QSocketNotifier::activated, &application, [] {
        char byte = 0;
        if (read(signalPipe[0], &byte, 1) == 1 && endingSignal == 0) endingSignal = byte;
        QCoreApplication::exit(kSignalExitBase + endingSignal);
    });
}

QImage MainWindowSkin(const char* path, QColor standIn) {
    return LoadSkinImage(path, QSize(main_window::kSkinWidth, main_window::kSkinHeight), standIn);
}

// Before the work folder is entered, so that cue sheets are found where they were named.
void InsertCdImages(const std::vector<std::string>& images) {
    for (const std::string& image : images) {
        std::optional<cd::CdImageChoice> choice = cd::ParseCdImageChoice(image);
        if (!choice) {
            std::fprintf(stderr, "kvt: --cd-image takes a drive letter and a cue sheet, as in D=disc.cue\n");
        } else if (auto problem = cd::InsertCdImage(*choice)) {
            std::fprintf(stderr, "kvt: --cd-image: %s\n", problem->text.c_str());
        }
    }
}

}  // namespace

int RunDesktopProgram(int argc, char** argv) {
    StartOptions options = ParseStartOptions(std::vector<std::string>(argv + 1, argv + argc));
    // Answered without Qt, a display or the work folder.
    if (options.help) {
        std::fputs(kStartUsageText, stdout);
        return kExitSuccess;
    }
    if (options.version) {
        std::printf("kvt %s\n", KVT_VERSION);
        return kExitSuccess;
    }
    if (!options.unknownOption.empty()) {
        std::fprintf(stderr, "kvt: unknown option %s (kvt --help lists the options)\n", options.unknownOption.c_str());
        return kExitUsage;
    }
    if (!HasGraphicalSession(options, std::getenv("QT_QPA_PLATFORM"), std::getenv("DISPLAY"),
                             std::getenv("WAYLAND_DISPLAY"))) {
        std::fputs(kNoGraphicalSessionText, stderr);
        return kExitNoDisplay;
    }
    EndChildGroupsOnSignal();
    CatchTerminationSignals();
    RemoveAbandonedRunFolders();
    QApplication application(argc, argv);
    EndOnTerminationSignals(application);
    // Files named on the command line are relative to where the program was started.
    for (std::string& file : options.files) file = AbsolutePath(file);
    InsertCdImages(options.cdImages);
    if (options.xdgWorkFolder) {
        if (auto folder = XdgWorkFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"))) {
            if (auto failure = EnterFolder(*folder)) std::fprintf(stderr, "kvt: %s\n", failure->c_str());
        }
    }

    SetMessageSink(WithFailureCause(OnGuiThread(ShowQtMessageBox)));
    QtDialogs dialogs;
    ScopedDialogs installed(dialogs);

    CMFCzorvikDlg window(MainWindowSkin(":/skin/main_normal.bmp", QColor(200, 200, 200)),
                         MainWindowSkin(":/skin/main_pressed.bmp", QColor(150, 150, 150)), CurrentFolder());
    CdRipping cdRipping(window);
    CdTrackPlaces trackPlaces;
    dialogs.SetTrackPlaces([&trackPlaces] { return trackPlaces.Folders(); });
    // One settings dialog for the whole run: it reopens on the page last shown.
    SettingsDialog settingsDialog(ArtworkSettingsDialogSkin(), &window);
    window.SetSettingsDialogRunner([&] { return settingsDialog.Exec(window.UserSettings()); });
    // A signal during the first-start dialog has left its loop; the window never opens.
    int status = kExitSuccess;
    if (endingSignal == 0) {
        window.show();
        if (!options.files.empty()) {
            QTimer::singleShot(0, &window, [&window, files = options.files] { window.DropFiles(files); });
        }
        status = application.exec();
    }
    window.Shutdown();
    EndChildGroups();
    dialogs.SetTrackPlaces(nullptr);
    return endingSignal != 0 ? kSignalExitBase + endingSignal : status;
}

}  // namespace kvt
