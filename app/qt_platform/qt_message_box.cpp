#include "app/qt_platform/qt_message_box.h"

#include <QApplication>
#include <QMessageBox>

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

}  // namespace kvt
