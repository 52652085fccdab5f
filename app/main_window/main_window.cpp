#include "app/main_window/main_window.h"

#include <algorithm>
#include <cstdio>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>

#include "Module/General/General/GeneralFile.h"
#include "app/help_page.h"
#include "app/main_window/waveform_painter.h"
#include "app/preview/handset_version.h"
#include "app/preview/sink_preview_player.h"
#include "app/preview/system_audio_output.h"
#include "app/qt_platform/gui_thread.h"
#include "convert/conversion_job.h"
#include "convert/input_kinds.h"
#include "convert/input_loader.h"
#include "input/cd/rip_controller.h"
#include "platform/dialogs.h"
#include "platform/failure_cause.h"
#include "platform/message.h"
#include "platform/paths.h"

namespace kvt {

using namespace main_window;

namespace {

// The buttons that would change the input, the selection or the settings under a running job.
constexpr std::array kInertWhileConverting = {Element::Open, Element::SetStart, Element::SetEnd, Element::Settings,
                                              Element::Convert};

constexpr std::string_view kAllAudioFilesLabel = "すべての音声ファイル";
constexpr std::string_view kEachKindFilter =
    "WAVファイル(*.wav)|*.wav|WMAファイル(*.wma)|*.wma|音楽CDファイル(*.cda)|*.cda|MP3ファイル(*.mp3)|*.mp3|";

std::optional<VolumeCommand> VolumeMenuAt(QWidget* owner, QPoint globalPos) {
    QMenu menu(owner);
    QAction* up = menu.addAction(QString::fromUtf8(kVolumeUpLabel));
    QAction* down = menu.addAction(QString::fromUtf8(kVolumeDownLabel));
    QAction* fadeIn = menu.addAction(QString::fromUtf8(kFadeInLabel));
    QAction* fadeOut = menu.addAction(QString::fromUtf8(kFadeOutLabel));
    QAction* handset = menu.addAction(QString::fromUtf8(kHandsetVersionLabel));
    QAction* chosen = menu.exec(globalPos);
    if (chosen == up) return VolumeCommand::Up;
    if (chosen == down) return VolumeCommand::Down;
    if (chosen == fadeIn) return VolumeCommand::FadeIn;
    if (chosen == fadeOut) return VolumeCommand::FadeOut;
    if (chosen == handset) return VolumeCommand::HandsetVersion;
    return std::nullopt;
}

// The paths of a drag that brings only local files; empty for anything else (a link from a
// browser has no file to open).
std::vector<std::string> DroppedLocalPaths(const QMimeData& data) {
    std::vector<std::string> paths;
    for (const QUrl& url : data.urls()) {
        if (!url.isLocalFile()) return {};
        paths.push_back(url.toLocalFile().toStdString());
    }
    return paths;
}

}  // namespace

std::string InputFilter() {
    return std::string(kAllAudioFilesLabel) + "|" + InputPatterns(";") + "|" + std::string(kEachKindFilter);
}

std::string InputFilterPatterns() {
    return InputPatterns(" ");
}

CMFCzorvikDlg::CMFCzorvikDlg(QImage normalLook, QImage pressedLook, std::string workFolder, QWidget* parent)
    : SkinnedWindow(std::move(normalLook), std::move(pressedLook), parent),
      preview_(std::make_unique<SinkPreviewPlayer>(MakeSystemAudioOutput())),
      helpOpener_([](const QUrl& url) { return QDesktopServices::openUrl(url); }),
      volumeMenu_([this](QPoint at) { return VolumeMenuAt(this, at); }) {
    setWindowIcon(QIcon(":/icon/kvt.png"));
    setWindowTitle(QString::fromLatin1(kApplicationTitle.data(), kApplicationTitle.size()));
    Fit();
    setFocusPolicy(Qt::StrongFocus);
    // A full copy of an input that a crashed run left behind.
    RemoveScratchWav(workFolder);
    settings_ = StartUpSettings(workFolder, SettingsFilePath(workFolder), kSavingFolderPurposeText);
    setAcceptDrops(true);
    connect(&timer100_, &QTimer::timeout, this, [this] { OnTimer100(); });
    timer100_.start(100);
}

CMFCzorvikDlg::~CMFCzorvikDlg() {
    Shutdown();
}

void CMFCzorvikDlg::SetPreviewPlayer(std::unique_ptr<PreviewPlayer> player) {
    if (preview_) preview_->Stop();
    preview_ = std::move(player);
}

void CMFCzorvikDlg::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    StopConversion();
    timer100_.stop();
    preview_->Stop();
    // The rip's thread must be done with its file before the file goes.
    if (ripStopper_) ripStopper_();
    ForgetRipFile();
    RemoveScratchWav(settings_.workFolder);
    SaveSettings();
}

void CMFCzorvikDlg::ForgetRipFile() {
    if (ripTempPath_.empty()) return;
    std::remove(ripTempPath_.c_str());
    ripTempPath_.clear();
}

// --- opening and loading ----------------------------------------------------------

void CMFCzorvikDlg::OpenPath(const std::string& path) {
    TakeFailureCause();  // the cause of earlier, handled trouble is not this load's
    ForgetRipFile();
    if (GneGetExtension(path) == "cda") {
        if (ripStarter_)
            ripStarter_(path);
        else
            RipFinished(false);
        return;
    }
    LoadPath(path);
}

void CMFCzorvikDlg::LoadPath(const std::string& path) {
    setWindowTitle(QString::fromStdString(GneGetFileName(path)));
    // The preview reads the block it plays; it must not outlive it.
    preview_->Stop();
    const bool loaded = LoadInputFile(path, model_.input, settings_);
    if (loaded || !model_.input.isLoaded) model_.InputReplaced();
    update();
}

void CMFCzorvikDlg::DropFiles(const std::vector<std::string>& paths) {
    if (converting_) return;
    if (paths.size() >= 2) {
        ShowMessage(kOneFileAtATimeText);
        return;
    }
    if (paths.size() == 1) OpenPath(paths.front());
}

void CMFCzorvikDlg::ShowOpenDialog() {
    auto chosen = CurrentDialogs().OpenInput(JoinPath(CurrentFolder(), InputFilterPatterns()), InputFilter());
    if (chosen && !chosen->empty()) OpenPath(*chosen);
}

void CMFCzorvikDlg::BeginRip(const std::string& tempWavPath) {
    ripTempPath_ = tempWavPath;
    setEnabled(false);
}

void CMFCzorvikDlg::ShowRipProgress(double fraction) {
    model_.ShowProgressFraction(fraction);
    repaint();
}

void CMFCzorvikDlg::RipFinished(bool ok) {
    if (shutDown_) return;  // a rip stopped by the closing window
    model_.HideProgress();
    setEnabled(true);
    if (ok && !ripTempPath_.empty()) {
        LoadPath(ripTempPath_);
    } else {
        ForgetRipFile();
        ShowMessage(cd::kRipFailedText);
    }
    update();
}

// --- volume -----------------------------------------------------------------------

void CMFCzorvikDlg::ApplyVolume(VolumeCommand command) {
    if (command == VolumeCommand::HandsetVersion) return PlayHandsetVersion();
    model_.ChangeVolume(command);
    update();
}

// --- the handset's version --------------------------------------------------------

void CMFCzorvikDlg::PlayHandsetVersion() {
    if (converting_ || preview_->IsPlaying()) return;
    if (!model_.input.isLoaded) {
        ShowErrorMsg(1);
        return;
    }
    handsetSound_ = HandsetVersion(model_.input, settings_);
    if (!handsetSound_) return;
    const PcmRange selection = SelectedRange(model_.input, ReversedSelection::Swap);
    const size_t frameBytes = model_.input.FrameBytes();
    handsetFirstFrame_ = static_cast<int64_t>(std::min(selection.offset, model_.input.PcmBytes()) / frameBytes);
    handsetFrames_ =
        std::min(static_cast<int64_t>(selection.length / frameBytes), model_.TotalFrames() - handsetFirstFrame_);
    preview_->Play(*handsetSound_);
    if (!preview_->IsPlaying()) handsetSound_.reset();
    update();
}

int64_t CMFCzorvikDlg::HeardFrame() const {
    const int64_t frame = preview_->PlayFrame();
    if (!handsetSound_ || handsetSound_->totalFrames == 0) return frame;
    return handsetFirstFrame_ + frame * handsetFrames_ / handsetSound_->totalFrames;
}

// --- the conversion job -----------------------------------------------------------

void CMFCzorvikDlg::StartConversion() {
    converting_ = true;
    job_.Start(*this, [this](const JobReport&) {
        PostToGuiThread(this, [this] {
            converting_ = false;
            update();
        });
    });
}

void CMFCzorvikDlg::StopConversion() {
    job_.Stop();
    WaitForConversion();
}

void CMFCzorvikDlg::WaitForConversion() {
    // The job may be waiting for the answer to one of its messages: only this thread gives it.
    while (converting_) QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    job_.Wait();
}

bool CMFCzorvikDlg::Inert(Element element) const {
    return converting_ && std::find(kInertWhileConverting.begin(), kInertWhileConverting.end(), element) !=
                              kInertWhileConverting.end();
}

// --- ConversionHost ---------------------------------------------------------------

void CMFCzorvikDlg::ProgressReset(int total) {
    PostToGuiThread(this, [this, total] { model_.ProgressReset(total); });
}

void CMFCzorvikDlg::ProgressStep() {
    PostToGuiThread(this, [this] {
        model_.ProgressStep();
        repaint();
    });
}

void CMFCzorvikDlg::Repaint() {
    PostToGuiThread(this, [this] {
        model_.HideProgress();
        update();
    });
}

bool CMFCzorvikDlg::RunSettingsDialog() {
    bool accepted = false;
    RunOnGuiThreadAndWait([&] { accepted = settingsDialogRunner_ ? settingsDialogRunner_() : false; }, this);
    return accepted;
}

void CMFCzorvikDlg::SaveSettings() {
    RunOnGuiThreadAndWait(
        [this] {
            kvt::SaveSettings(settings_, SettingsFilePath(settings_.workFolder));
            TakeFailureCause();  // a settings file that cannot be written is passed over in silence
        },
        this);
}

void CMFCzorvikDlg::ShowClosingMessage(const std::string& text) {
    RunOnGuiThreadAndWait([&] { ConversionHost::ShowClosingMessage(text); }, this);
}

bool CMFCzorvikDlg::ShortenToFit(const std::vector<OverLimitFile>& files, uint32_t limit) {
    bool shorten = false;
    RunOnGuiThreadAndWait(
        [&] {
            const bool remembered = settings_.shortenToFit.has_value();
            shorten = AskToShortenToFit(files, limit, settings_);
            if (!remembered && settings_.shortenToFit)
                kvt::SaveSettings(settings_, SettingsFilePath(settings_.workFolder));
        },
        this);
    return shorten;
}

// --- painting ---------------------------------------------------------------------

void CMFCzorvikDlg::ComposeContent(QImage& backBuffer) {
    const bool playing = preview_->IsPlaying();
    for (int i = 0; i < kElementCount; ++i) {
        const bool pressed = model_.pressed[i] || (playing && i == static_cast<int>(Element::Play));
        DrawElement(kElementRects[i], pressed ? ElementState::Pressed : ElementState::Normal);
    }
    if (model_.input.isLoaded) {
        if (!model_.overviewReady) {
            overviewCache_ = BuildOverviewCache(NormalLook(), model_.input);
            model_.overviewReady = true;
        }
        std::optional<int64_t> playFrame;
        if (playing) playFrame = HeardFrame();
        PaintLoadedInput(backBuffer, overviewCache_, model_, playFrame);
    }
    PaintProgress(backBuffer, model_);
}

std::span<const SkinRect> CMFCzorvikDlg::CaptionExclusions() const {
    return std::span<const SkinRect>(kElementRects.data(), kButtonCount);
}

// --- mouse, keys, timer -----------------------------------------------------------

void CMFCzorvikDlg::OnLeftButtonDown() {
    const QPoint at = CursorClientPos();
    if (kOverview.Contains(at.x(), at.y())) {
        model_.ViewFromOverview(at.x());
        model_.overviewDrag = true;
    }
    if (kDetailView.Contains(at.x(), at.y())) {
        model_.CursorFromDetail(at.x());
        model_.detailDrag = true;
    }
    if (HitTest(RectOf(Element::ScrollLeft))) model_.ScrollBack();
    if (HitTest(RectOf(Element::ScrollRight))) model_.ScrollForward();
    for (int i = 0; i < kElementCount; ++i) {
        if (HitTest(kElementRects[i]) && !Inert(static_cast<Element>(i))) model_.pressed[i] = true;
    }
    update();
}

void CMFCzorvikDlg::OnLeftButtonUp() {
    const QPoint at = CursorClientPos();
    if (model_.overviewDrag) model_.ViewFromOverview(at.x());
    if (model_.detailDrag) model_.CursorFromDetail(at.x());
    // The button under the cursor now runs, wherever the press began.
    for (int i = 0; i < kButtonCount; ++i) {
        if (HitTest(kElementRects[i])) RunButton(static_cast<Element>(i));
    }
    model_.Release();
    update();
}

void CMFCzorvikDlg::RunButton(Element button) {
    if (Inert(button)) return;
    TakeFailureCause();  // the cause of earlier, handled trouble is not this action's
    switch (button) {
    case Element::Open: ShowOpenDialog(); break;
    case Element::Play:
        if (!preview_->IsPlaying()) handsetSound_.reset();
        preview_->Play(model_.input);
        break;
    case Element::Stop:
        preview_->Stop();
        job_.Stop();
        break;
    case Element::SetStart: model_.SetStart(preview_->IsPlaying()); break;
    case Element::SetEnd: model_.SetEnd(preview_->IsPlaying()); break;
    case Element::Settings:
        RunSettingsDialog();
        SaveSettings();
        break;
    case Element::Convert: StartConversion(); break;
    case Element::Help: ShowHelp(); break;
    case Element::Exit: close(); break;
    case Element::ScrollLeft:
    case Element::ScrollRight: break;
    }
}

void CMFCzorvikDlg::ShowHelp() {
    const QUrl page = HelpPageUrl();
    // Without a browser (or a desktop that knows one) the button would do nothing at all.
    if (!helpOpener_(page)) ShowMessage(std::string(kHelpNotShownText) + page.toLocalFile().toStdString());
}

void CMFCzorvikDlg::OnTimer100() {
    const QPoint at = CursorClientPos();
    bool changed = false;
    if (model_.overviewDrag) {
        model_.ViewFromOverview(at.x());
        changed = true;
    }
    if (model_.detailDrag) {
        model_.FollowDetailDrag(at.x());
        changed = true;
    }
    if (model_.IsPressed(Element::ScrollLeft) && HitTest(RectOf(Element::ScrollLeft))) {
        model_.ScrollBack();
        changed = true;
    }
    if (model_.IsPressed(Element::ScrollRight) && HitTest(RectOf(Element::ScrollRight))) {
        model_.ScrollForward();
        changed = true;
    }
    preview_->OnTimer();
    const bool playing = preview_->IsPlaying();
    if (!playing) handsetSound_.reset();
    if (playing || playing != wasPlaying_) changed = true;
    wasPlaying_ = playing;
    if (changed) update();
}

void CMFCzorvikDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        if (converting_) return;  // the volume changes the loaded block; the job uses the settings
        if (auto command = volumeMenu_(event->globalPosition().toPoint())) ApplyVolume(*command);
        return;
    }
    SkinnedWindow::mousePressEvent(event);
}

void CMFCzorvikDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left:
        model_.ScrollBack();
        update();
        break;
    case Qt::Key_Right:
        model_.ScrollForward();
        update();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape: close(); break;
    default: SkinnedWindow::keyPressEvent(event);
    }
}

void CMFCzorvikDlg::closeEvent(QCloseEvent* event) {
    Shutdown();
    event->accept();
}

void CMFCzorvikDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedLocalPaths(*event->mimeData()).empty()) event->acceptProposedAction();
}

void CMFCzorvikDlg::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths = DroppedLocalPaths(*event->mimeData());
    if (paths.empty()) return;
    event->acceptProposedAction();
    DropFiles(paths);
}

}  // namespace kvt
