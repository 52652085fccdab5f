#pragma once
// The settings dialog: a skinned 450 x 450 window with three pages of 7 x 4 cells that
// switch outputs, rates, channel counts and options. It paints SettingsDialogModel and
// feeds it the mouse; Exec shows it modally over the process's settings.

#include <QEventLoop>
#include <QImage>
#include <array>

#include "app/settings_dialog/settings_dialog_model.h"
#include "app/skin/skinned_window.h"

namespace kvt {

// The dialog's three 450 x 450 looks: the background, every element "on", every element "off".
struct SettingsDialogSkin {
    QImage background;
    QImage on;
    QImage off;
};

// The artwork compiled into the program.
SettingsDialogSkin ArtworkSettingsDialogSkin();

class SettingsDialog : public SkinnedWindow {
public:
    explicit SettingsDialog(SettingsDialogSkin skin, QWidget* parent = nullptr);

    // Shows the dialog modally over `settings` until OK (true: the grid was copied back) or
    // the close button (false). A folder chosen with the browse button is kept either way.
    bool Exec(Settings& settings);

    SettingsDialogModel& Model() { return model_; }

protected:
    void ComposeContent(QImage& backBuffer) override;
    std::span<const SkinRect> CaptionExclusions() const override { return captionExclusions_; }
    void OnLeftButtonDown() override;
    void OnLeftButtonUp() override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void DrawOnOff(QImage& backBuffer, const SkinRect& rect, bool on);
    void DrawTexts(QImage& backBuffer);
    void End(SettingsDialogModel::Ending ending);

    QImage offLook_;
    SettingsDialogModel model_;
    std::array<SkinRect, 4> captionExclusions_;
    QEventLoop* loop_ = nullptr;
    SettingsDialogModel::Ending ending_ = SettingsDialogModel::Ending::None;
};

}  // namespace kvt
