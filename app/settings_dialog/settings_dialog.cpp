#include "app/settings_dialog/settings_dialog.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>

#include "app/settings_dialog/settings_dialog_hints.h"
#include "app/settings_dialog/settings_dialog_layout.h"
#include "app/skin/skin_image.h"
#include "convert/button_grid.h"

namespace kvt {
namespace {

using namespace settings_dialog;

QRect ToQRect(const SkinRect& rect) {
    return QRect(rect.left, rect.top, rect.Width(), rect.Height());
}

// Tahoma where it is installed; otherwise Qt's fallback, which also finds a Japanese font.
QFont DialogFont(int pixelSize, int weight = QFont::Normal) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixelSize);
    font.setWeight(static_cast<QFont::Weight>(weight));
    return font;
}

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The fallback for "Tahoma" may be wider than Tahoma. The largest stretch (100 down to 50)
// at which every text of `texts` fits `width` pixels, so labels stay inside their cells and
// hint lines end before the buttons.
template <typename ForEachText>
int FittingStretch(QFont font, int width, ForEachText forEachText) {
    for (int stretch = 100; stretch > 50; stretch -= 5) {
        font.setStretch(stretch);
        const QFontMetrics metrics(font);
        bool fits = true;
        forEachText([&](std::string_view text) { fits = fits && metrics.horizontalAdvance(Text(text)) <= width; });
        if (fits) return stretch;
    }
    return 50;
}

// Measured once; a QFont must not outlive the application, so only the stretch is kept.
QFont LabelFont() {
    QFont font = DialogFont(16);
    static const int stretch = FittingStretch(font, CellRect(0).Width() - 4, [](auto measure) {
        for (int page = 0; page < kPageCount; ++page)
            for (int cell = 0; cell < kCellCount; ++cell) measure(CellLabel(page, cell));
    });
    font.setStretch(stretch);
    return font;
}

constexpr int kHintLeft = 25;

QFont HintFont() {
    QFont font = DialogFont(14);
    static const int stretch = FittingStretch(font, kBrowseButton.left - kHintLeft - 4, [](auto measure) {
        for (int page = 0; page < kPageCount; ++page)
            for (int cell = 0; cell < kCellCount; ++cell)
                for (std::string_view line : CellHint(page, cell)) measure(line);
    });
    font.setStretch(stretch);
    return font;
}

// Text whose top-left corner is at (x, y), on one line.
void DrawTextAt(QPainter& painter, int x, int y, const QString& text) {
    painter.drawText(QRect(x, y, kSkinWidth - x, 40), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

void DrawCentred(QPainter& painter, const SkinRect& rect, const QString& text) {
    painter.drawText(ToQRect(rect), Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip, text);
}

constexpr QRgb kGreyLabel = qRgb(153, 153, 153);
constexpr const char* kTabLabels[kPageCount] = {"MLD", "MMF", "3GP"};

}  // namespace

SettingsDialogSkin ArtworkSettingsDialogSkin() {
    auto load = [](const char* path, QColor standIn) {
        return LoadSkinImage(path, QSize(kSkinWidth, kSkinHeight), standIn);
    };
    return {load(":/skin/settings_background.bmp", QColor(200, 200, 200)),
            load(":/skin/settings_on.bmp", QColor(255, 255, 160)), load(":/skin/settings_off.bmp", QColor(Qt::white))};
}

SettingsDialog::SettingsDialog(SettingsDialogSkin skin, QWidget* parent)
    : SkinnedWindow(std::move(skin.background), std::move(skin.on), parent),
      offLook_(std::move(skin.off).convertToFormat(QImage::Format_RGB32)),
      captionExclusions_{kTabRects[0], kTabRects[1], kTabRects[2], kCloseButton} {
    Fit();
    setWindowTitle(QString::fromUtf8(kSettingsDialogCaption));
    setWindowModality(Qt::ApplicationModal);
    setMouseTracking(true);
}

bool SettingsDialog::Exec(Settings& settings) {
    model_.Open(settings);
    ending_ = SettingsDialogModel::Ending::None;
    show();
    raise();
    activateWindow();
    QEventLoop loop;
    loop_ = &loop;
    if (ending_ == SettingsDialogModel::Ending::None) loop.exec();
    loop_ = nullptr;
    hide();
    return ending_ == SettingsDialogModel::Ending::Accepted;
}

void SettingsDialog::End(SettingsDialogModel::Ending ending) {
    ending_ = ending;
    if (loop_) loop_->quit();
}

void SettingsDialog::DrawOnOff(QImage& backBuffer, const SkinRect& rect, bool on) {
    if (on) {
        DrawElement(rect, ElementState::Pressed);
        return;
    }
    QPainter painter(&backBuffer);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(ToQRect(rect).topLeft(), offLook_, ToQRect(rect));
}

void SettingsDialog::ComposeContent(QImage& backBuffer) {
    DrawOnOff(backBuffer, kOkButton, model_.OkPressed());
    DrawOnOff(backBuffer, kCloseButton, model_.ClosePressed());
    DrawOnOff(backBuffer, kBrowseButton, model_.BrowsePressed());
    for (int tab = 0; tab < kPageCount; ++tab) DrawOnOff(backBuffer, kTabRects[tab], model_.LitTab() == tab);
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (model_.HasButton(cell)) DrawOnOff(backBuffer, CellRect(cell), model_.IsOn(cell));
    }
    DrawTexts(backBuffer);
}

void SettingsDialog::DrawTexts(QImage& backBuffer) {
    QPainter painter(&backBuffer);
    painter.setFont(LabelFont());
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (!model_.HasButton(cell)) continue;
        painter.setPen(model_.IsLabelGrey(cell) ? QColor(kGreyLabel) : QColor(Qt::black));
        DrawCentred(painter, CellRect(cell), Text(model_.Label(cell)));
    }

    painter.setFont(DialogFont(14));
    painter.setPen(Qt::black);
    DrawTextAt(painter, 120, 75, QStringLiteral("Saving Directory"));
    DrawTextAt(painter, 120, 90, Text(model_.ShownDirectory()));
    painter.setFont(HintFont());
    constexpr int kHintTops[] = {370, 390, 410};
    for (size_t line = 0; line < model_.Hint().size(); ++line)
        DrawTextAt(painter, kHintLeft, kHintTops[line], Text(model_.Hint()[line]));

    painter.setFont(DialogFont(16, QFont::Black));
    painter.setPen(Qt::white);
    for (int tab = 0; tab < kPageCount; ++tab)
        DrawCentred(painter, kTabRects[tab], QString::fromLatin1(kTabLabels[tab]));

    painter.setFont(DialogFont(14));
    painter.setPen(Qt::black);
    DrawCentred(painter, kBrowseButton, QStringLiteral("参照"));
    DrawCentred(painter, kOkButton, QStringLiteral("OK"));
}

void SettingsDialog::OnLeftButtonDown() {
    const QPoint point = CursorClientPos();
    model_.LeftButtonDown(point.x(), point.y());
    update();
}

void SettingsDialog::OnLeftButtonUp() {
    const QPoint point = CursorClientPos();
    const SettingsDialogModel::Ending ending = model_.LeftButtonUp(point.x(), point.y());
    update();
    if (ending != SettingsDialogModel::Ending::None) End(ending);
}

void SettingsDialog::mouseMoveEvent(QMouseEvent*) {
    const QPoint point = CursorClientPos();
    model_.MouseMove(point.x(), point.y());
    update();
}

void SettingsDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        End(SettingsDialogModel::Ending::Cancelled);
    else
        SkinnedWindow::keyPressEvent(event);
}

void SettingsDialog::closeEvent(QCloseEvent* event) {
    End(SettingsDialogModel::Ending::Cancelled);
    event->accept();
}

}  // namespace kvt
