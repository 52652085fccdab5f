#pragma once
// CMFCzorvikDlg, the program's main window: one skinned window that loads an input, shows
// it in the overview strip and the detail view, lets the user mark START and END, play,
// change the volume and convert. It hosts the conversion job; every decision about the
// input, the settings and the outputs is made in convert/.
//
// Dialogs, menus, the preview, the settings dialog, the help browser and the CD ripper are
// seams, so tests and other parts of the program can put their own in.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QImage>
#include <QTimer>
#include <QUrl>

#include "app/main_window/main_window_model.h"
#include "app/preview/preview_player.h"
#include "app/skin/skinned_window.h"
#include "convert/conversion_host.h"
#include "convert/job_thread.h"
#include "convert/settings_store.h"

namespace kvt {

inline constexpr std::string_view kOneFileAtATimeText = "ファイルは１つづつドロップして下さい。";
// Followed by the help page's path, when no browser could be started for it.
inline constexpr std::string_view kHelpNotShownText =
    "ヘルプを開けませんでした。次のファイルをブラウザで開いてください。\n";
inline constexpr const char* kVolumeUpLabel = "音量を上げる";
inline constexpr const char* kVolumeDownLabel = "音量を下げる";
inline constexpr const char* kFadeInLabel = "フェードイン";
inline constexpr const char* kFadeOutLabel = "フェードアウト";
inline constexpr const char* kHandsetVersionLabel = "変換後の音を試聴";
// The open dialog's filters: every audio file the loader reads first (the default), then
// WAV, WMA, the CD's tracks and MP3.
std::string InputFilter();
// The patterns of the first filter, as the dialog's file-name field starts with them.
std::string InputFilterPatterns();

class CMFCzorvikDlg : public SkinnedWindow, public ConversionHost {
public:
    // Runs the settings dialog modally; true when it ended with OK.
    using SettingsDialogRunner = std::function<bool()>;
    // Shows the help page; false when nothing could show it.
    using HelpOpener = std::function<bool(const QUrl&)>;
    // The right-button menu at a screen position: the chosen command, or nothing.
    using VolumeMenu = std::function<std::optional<VolumeCommand>(QPoint globalPos)>;
    // Starts ripping the track a ".cda" path names; the ripper ends with RipFinished.
    using RipStarter = std::function<void(const std::string& cdaPath)>;
    // Stops a rip in progress and waits for its thread (at most 1000 ms).
    using RipStopper = std::function<void()>;

    // The start-up steps: icon, settings from `workFolder` (the folder browser on a first
    // run), frameless window of the skin's size at (100, 100), drops, timer 100.
    CMFCzorvikDlg(QImage normalLook, QImage pressedLook, std::string workFolder, QWidget* parent = nullptr);
    ~CMFCzorvikDlg() override;

    void SetPreviewPlayer(std::unique_ptr<PreviewPlayer> player);
    void SetSettingsDialogRunner(SettingsDialogRunner runner) { settingsDialogRunner_ = std::move(runner); }
    void SetHelpOpener(HelpOpener opener) { helpOpener_ = std::move(opener); }
    void SetVolumeMenu(VolumeMenu menu) { volumeMenu_ = std::move(menu); }
    // Without a ripper a track fails at once.
    void SetRipStarter(RipStarter starter) { ripStarter_ = std::move(starter); }
    void SetRipStopper(RipStopper stopper) { ripStopper_ = std::move(stopper); }

    // Opens a path: a ".cda" track goes to the ripper, anything else is loaded.
    void OpenPath(const std::string& path);
    // One dropped (or given) file is opened; more give a message and open nothing.
    void DropFiles(const std::vector<std::string>& paths);
    // The open-file dialog; a chosen file is opened.
    void ShowOpenDialog();
    void ApplyVolume(VolumeCommand command);
    // The selection coded as the first chosen output and decoded again, played at the
    // decoded rate with the played part banded over the selection. Nothing is saved.
    void PlayHandsetVersion();
    // What timer 100 does: follow drags, repeat a held arrow, follow the preview.
    void OnTimer100();

    // The ripper's side: the scratch WAV of a rip in progress (deleted when another input is
    // opened and at the end), its progress on the bar, and its end (ok: load it).
    void BeginRip(const std::string& tempWavPath);
    void ShowRipProgress(double fraction);
    void RipFinished(bool ok);

    // The convert button's job runs on a thread of its own; meanwhile the window repaints
    // and moves, the bar advances after each output, the buttons that would change the
    // input, the selection or the settings are inert, and stop ends the job after the
    // output being made.
    bool Converting() const { return converting_; }
    // Stops a running job and waits for its end (its messages are still shown meanwhile).
    void StopConversion();
    // Waits for the job to end, the window's events running meanwhile.
    void WaitForConversion();

    // The destruction steps (a running job stopped, rip stopped and its file deleted,
    // preview stopped, the scratch "tempkvt.wav" deleted, settings saved); they run once,
    // on whichever way out comes first.
    void Shutdown();

    const MainWindowModel& Model() const { return model_; }
    // The state itself, for tests and for the window's other parts (the ripper's side).
    MainWindowModel& MutableModel() { return model_; }
    PreviewPlayer& Preview() { return *preview_; }

    // ConversionHost: the job calls these from its thread, and they run on the window's.
    void ProgressReset(int total) override;
    void ProgressStep() override;
    void Repaint() override;
    bool RunSettingsDialog() override;
    void SaveSettings() override;
    // Over the full bar: after the steps posted before it.
    void ShowClosingMessage(const std::string& text) override;
    // Asks on the window's thread; a remembered answer is saved at once.
    bool ShortenToFit(const std::vector<OverLimitFile>& files, uint32_t limit) override;
    // Unchanged while a job runs: what would change it is inert.
    const LoadedInput& Input() const override { return model_.input; }
    Settings& UserSettings() override { return settings_; }

protected:
    void ComposeContent(QImage& backBuffer) override;
    std::span<const SkinRect> CaptionExclusions() const override;
    void OnLeftButtonDown() override;
    void OnLeftButtonUp() override;

    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void LoadPath(const std::string& path);
    void RunButton(main_window::Element button);
    bool Inert(main_window::Element element) const;
    void StartConversion();
    void ShowHelp();
    void ForgetRipFile();
    // The frame of the input being heard: the preview's own, or the handset version's
    // frame spread over the selection it was made from.
    int64_t HeardFrame() const;

    MainWindowModel model_;
    Settings settings_;
    QImage overviewCache_;
    // The decoded handset version the preview plays, and the selection it was made from in
    // frames. Before the preview: the player reads the block until it stops.
    std::optional<LoadedInput> handsetSound_;
    int64_t handsetFirstFrame_ = 0;
    int64_t handsetFrames_ = 0;
    std::unique_ptr<PreviewPlayer> preview_;
    bool wasPlaying_ = false;
    std::string ripTempPath_;
    QTimer timer100_;
    bool shutDown_ = false;
    bool converting_ = false;  // on the window's thread: from the start to the job's end notice

    SettingsDialogRunner settingsDialogRunner_;
    HelpOpener helpOpener_;
    VolumeMenu volumeMenu_;
    RipStarter ripStarter_;
    RipStopper ripStopper_;
    JobThread job_;  // last: gone (stopped, waited for) before what the job uses
};

}  // namespace kvt
