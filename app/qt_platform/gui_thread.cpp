#include "app/qt_platform/gui_thread.h"

#include <QCoreApplication>
#include <QThread>

namespace kvt {

void RunOnGuiThreadAndWait(const std::function<void()>& call, QObject* context) {
    if (!context) context = QCoreApplication::instance();
    if (!context || QThread::currentThread() == context->thread()) {
        call();
        return;
    }
    QMetaObject::invokeMethod(context, call, Qt::BlockingQueuedConnection);
}

void PostToGuiThread(QObject* context, std::function<void()> call) {
    if (QThread::currentThread() == context->thread()) {
        call();
        return;
    }
    QMetaObject::invokeMethod(context, std::move(call), Qt::QueuedConnection);
}

}  // namespace kvt
