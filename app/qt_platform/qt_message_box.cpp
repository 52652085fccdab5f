#include "app/qt_platform/qt_message_box.h"

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <memory>
#include <utility>

#include "app/qt_platform/gui_thread.h"
#include "platform/failure_cause.h"

namespace kvt {

namespace {

QMessageBox::StandardButtons ButtonsOf(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    default: return QMessageBox::Ok;
    }
}

// Qt's own button texts are English unless a translation of Qt is installed; the window
// speaks Japanese, so its boxes name their buttons themselves.
void NameButtonsInJapanese(QMessageBox& box) {
    const std::pair<QMessageBox::StandardButton, const char*> names[] = {
        {QMessageBox::Ok, "OK"},
        {QMessageBox::Cancel, "キャンセル"},
        {QMessageBox::Yes, "はい(&Y)"},
        {QMessageBox::No, "いいえ(&N)"},
    };
    for (const auto& [button, name] : names)
        if (QAbstractButton* shown = box.button(button)) shown->setText(QString::fromUtf8(name));
}

}  // namespace

MessageAnswer ShowQtMessageBox(const MessageRequest& request) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(request.caption), QString::fromStdString(request.text),
                    ButtonsOf(request.buttons), QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    NameButtonsInJapanese(box);
    if (request.systemModal) box.setWindowFlag(Qt::WindowStaysOnTopHint);
    QCheckBox* checkBox = nullptr;
    if (!request.checkBoxText.empty()) {
        auto owned = std::make_unique<QCheckBox>(QString::fromStdString(request.checkBoxText));
        checkBox = owned.get();
        box.setCheckBox(owned.release());  // the box owns it from here
    }
    const int pressed = box.exec();
    if (checkBox && request.checkBoxChecked) *request.checkBoxChecked = checkBox->isChecked();
    return pressed == QMessageBox::Ok || pressed == QMessageBox::Yes ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

MessageSink OnGuiThread(MessageSink sink) {
    return [sink = std::move(sink)](const MessageRequest& request) {
        // Should the application go before the call runs, the worker goes on with OK.
        MessageAnswer answer = MessageAnswer::Ok;
        RunOnGuiThreadAndWait([&] { answer = sink(request); });
        return answer;
    };
}

MessageSink WithFailureCause(MessageSink sink) {
    return [sink = std::move(sink)](const MessageRequest& request) {
        std::optional<std::string> cause = TakeFailureCause();
        if (!cause) return sink(request);
        MessageRequest withCause = request;
        withCause.text += "\n" + *cause;
        return sink(withCause);
    };
}

}  // namespace kvt
