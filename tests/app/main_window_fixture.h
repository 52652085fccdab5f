#pragma once
// A main window on injected one-colour skins, with a fake cursor, recorded messages and
// scripted dialogs, working in a temporary folder.

#include <memory>

#include <gtest/gtest.h>
#include <QApplication>
#include <QMouseEvent>

#include "app/main_window/main_window.h"
#include "convert/wav_bytes.h"
#include "loaded_input_maker.h"
#include "platform/dialogs.h"
#include "platform/message.h"
#include "platform/temp_folder.h"

namespace kvt::testing {

inline constexpr QRgb kNormalSkin = qRgb(200, 160, 120);
inline constexpr QRgb kPressedSkin = qRgb(20, 200, 40);

inline QImage OneColourSkin(QRgb colour) {
    QImage image(main_window::kSkinWidth, main_window::kSkinHeight, QImage::Format_RGB888);
    image.fill(colour);
    return image;
}

// A preview that plays whatever it is told to.
class FakePreview : public PreviewPlayer {
public:
    bool playing = false;
    int64_t frame = 0;
    int plays = 0;
    void Play(const LoadedInput&) override { ++plays; }
    void Stop() override { playing = false; }
    void OnTimer() override {}
    bool IsPlaying() const override { return playing; }
    int64_t PlayFrame() const override { return frame; }
};

class MainWindow : public ::testing::Test {
protected:
    MainWindow() {
        window =
            std::make_unique<CMFCzorvikDlg>(OneColourSkin(kNormalSkin), OneColourSkin(kPressedSkin), folder.Path());
        window->SetCursorSource([this] { return window->mapToGlobal(cursor); });
        messages.Clear();
    }

    // A WAV file in the work folder: `frames` frames of the given constant values.
    std::string WriteWav(const std::string& name, uint32_t frames, uint16_t channels, uint32_t rate, int16_t left = 0,
                         int16_t right = 0) {
        std::string data;
        for (uint32_t f = 0; f < frames; ++f) {
            PutLe(data, static_cast<uint16_t>(left), 2);
            if (channels == 2) PutLe(data, static_cast<uint16_t>(right), 2);
        }
        return folder.Write(name, WavBytes({.channels = channels, .rate = rate}, data));
    }

    // A left press with the cursor at `down`, the release at `up` (client coordinates).
    void Press(QPoint at) {
        cursor = at;
        QMouseEvent event(QEvent::MouseButtonPress, at, window->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(window.get(), &event);
    }
    void Release(QPoint at) {
        cursor = at;
        QMouseEvent event(QEvent::MouseButtonRelease, at, window->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(window.get(), &event);
    }
    void Click(QPoint down, QPoint up) {
        Press(down);
        Release(up);
    }
    void Click(QPoint at) { Click(at, at); }
    static QPoint CentreOf(main_window::Element element) {
        const SkinRect& rect = main_window::RectOf(element);
        return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    }
    // A click in the detail view that puts the cursor on plot column `column`.
    void ClickPlotColumn(int column) {
        Click({main_window::kDetailView.left + main_window::kPlotMargin + column, 300});
    }

    TempFolder folder;
    MessageRecorder messages;
    ScriptedDialogs dialogs;
    ScopedDialogs installedDialogs{dialogs};
    QPoint cursor;
    std::unique_ptr<CMFCzorvikDlg> window;
};

}  // namespace kvt::testing
