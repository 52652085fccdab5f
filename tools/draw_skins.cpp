// kvt-draw-skins RES_DIR: draws the skin bitmaps of both windows and the program icon into
// RES_DIR/skin and RES_DIR/icon, the files the program compiles in as resources, and the
// icon theme's sizes and scalable icon into RES_DIR/icon/hicolor.

#include <cstdio>
#include <cstdlib>

#include <QFile>

#include <QDir>
#include <QGuiApplication>

#include "tools/skin_art.h"

namespace {

constexpr int kThemeSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

bool WriteIconTheme(const QDir& res) {
    for (const int size : kThemeSizes) {
        const QString folder = QString("icon/hicolor/%1x%1/apps").arg(size);
        if (!res.mkpath(folder) || !kvt::art::DrawProgramIcon(size).save(res.filePath(folder + "/kvt.png"), "PNG"))
            return false;
    }
    if (!res.mkpath("icon/hicolor/scalable/apps")) return false;
    QFile svg(res.filePath("icon/hicolor/scalable/apps/kvt.svg"));
    return svg.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           svg.write(kvt::art::ProgramIconSvg().toUtf8()) >= 0 && svg.flush();
}

}  // namespace

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
        kvt::art::DrawProgramIcon(256).save(res.filePath("icon/kvt.png"), "PNG") && WriteIconTheme(res);
    if (!written) std::fprintf(stderr, "kvt-draw-skins: writing under %s failed\n", argv[1]);
    return written ? EXIT_SUCCESS : EXIT_FAILURE;
}
