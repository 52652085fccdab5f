#include "app/qt_platform/qt_message_box.h"

#include <QApplication>
#include <QMessageBox>

#include "app/qt_platform/gui_thread.h"
#include "platform/failure_cause.h"

namespace kvt {

MessageAnswer ShowQtMessageBox(const MessageRequest& request) {
    QMessageBox box(
        QMessageBox::NoIcon, QString::fromStdString(request.caption), QString::fromStdString(request.text),
        request.buttons == MessageButtons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok,
        QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    if (request.systemModal) box.setWindowFlag(Qt::WindowStaysOnTopHint);
    return box.exec() == QMessageBox::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
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
