// kvt-draw-skins RES_DIR: draws the skin bitmaps of both windows and the program icon into
// RES_DIR/skin and RES_DIR/icon, the files the program compiles in as resources.

#include <cstdio>
#include <cstdlib>

#include <QDir>
#include <QGuiApplication>

#include "tools/skin_art.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kvt-draw-skins RES_DIR\n");
        return 2;
    }
    const QDir res(QString::fromLocal8Bit(argv[1]));
    if (!res.mkpath("skin") || !res.mkpath("icon")) {
        std::fprintf(stderr, "kvt-draw-skins: cannot create folders under %s\n", argv[1]);
        return 1;
    }
    using kvt::art::SettingsLook;
    const bool written =
        kvt::art::SaveBitmap(kvt::art::DrawMainWindow(false), res.filePath("skin/main_normal.bmp")) &&
        kvt::art::SaveBitmap(kvt::art::DrawMainWindow(true), res.filePath("skin/main_pressed.bmp")) &&
        kvt::art::SaveBitmap(kvt::art::DrawSettingsDialog(SettingsLook::Background),
                             res.filePath("skin/settings_background.bmp")) &&
        kvt::art::SaveBitmap(kvt::art::DrawSettingsDialog(SettingsLook::On), res.filePath("skin/settings_on.bmp")) &&
        kvt::art::SaveBitmap(kvt::art::DrawSettingsDialog(SettingsLook::Off), res.filePath("skin/settings_off.bmp")) &&
        kvt::art::DrawProgramIcon(256).save(res.filePath("icon/kvt.png"), "PNG");
    if (!written) std::fprintf(stderr, "kvt-draw-skins: writing under %s failed\n", argv[1]);
    return written ? EXIT_SUCCESS : EXIT_FAILURE;
}
