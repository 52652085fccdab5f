#include "app/application.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

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
#include "app/start_options.h"
#include "input/cd/image_drive.h"
#include "platform/message.h"

namespace kvt {
namespace {

int signalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] ssize_t written = write(signalPipe[1], &byte, 1);
}

// SIGINT, SIGTERM and SIGHUP end the program like the exit button, so the settings are
// saved on that way out too (after the main loop). Every event loop is left, also those of
// an open dialog or message box: closing the window alone would leave the program running
// behind a box that waits for a user who has gone.
void EndOnTerminationSignals(QWidget& window) {
    if (pipe(signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [] {
        char byte;
        [[maybe_unused]] ssize_t got = read(signalPipe[0], &byte, 1);
        QCoreApplication::exit(0);
    });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

QImage SkinImage(const char* path, QColor standIn) {
    QImage image(path);
    if (!image.isNull()) return image;
    // Without the compiled-in artwork the window still works, in plain grey.
    std::fprintf(stderr, "kvt: %s is missing\n", path);
    image = QImage(main_window::kSkinWidth, main_window::kSkinHeight, QImage::Format_RGB32);
    image.fill(standIn);
    return image;
}

std::string AbsolutePath(const std::string& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
}

// Before the work folder is entered, so that cue sheets are found where they were named.
void InsertCdImages(const std::vector<std::string>& images) {
    for (const std::string& image : images) {
        std::optional<cd::CdImageChoice> choice = cd::ParseCdImageChoice(image);
        if (!choice) {
            std::fprintf(stderr, "kvt: --cd-image takes a drive letter and a cue sheet, as in D=disc.cue\n");
        } else if (auto problem = cd::InsertCdImage(*choice)) {
            std::fprintf(stderr, "kvt: --cd-image: %s\n", problem->c_str());
        }
    }
}

}  // namespace

int RunDesktopProgram(int argc, char** argv) {
    QApplication application(argc, argv);
    StartOptions options = ParseStartOptions(std::vector<std::string>(argv + 1, argv + argc));
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

    std::error_code error;
    const std::string workFolder = std::filesystem::current_path(error).string();
    CMFCzorvikDlg window(SkinImage(":/skin/main_normal.bmp", QColor(200, 200, 200)),
                         SkinImage(":/skin/main_pressed.bmp", QColor(150, 150, 150)), error ? "." : workFolder);
    CdRipping cdRipping(window);
    CdTrackPlaces trackPlaces;
    SetTrackPlaces([&trackPlaces] { return trackPlaces.Folders(); });
    EndOnTerminationSignals(window);
    // One settings dialog for the whole run: it reopens on the page last shown.
    SettingsDialog settingsDialog(ArtworkSettingsDialogSkin(), &window);
    window.SetSettingsDialogRunner([&] { return settingsDialog.Exec(window.UserSettings()); });
    window.show();
    if (!options.files.empty()) {
        QTimer::singleShot(0, &window, [&window, files = options.files] { window.DropFiles(files); });
    }
    const int status = application.exec();
    window.Shutdown();
    SetTrackPlaces(nullptr);
    return status;
}

}  // namespace kvt
