#pragma once
// Calls from a worker thread (a CD rip's, a conversion job's) into what only the
// application's thread may touch: widgets, dialogs, message boxes. From that thread itself,
// both run the call at once.

#include <functional>

#include <QObject>

namespace kvt {

// Runs `call` on the thread of `context` (the application object when none) and waits for
// it. Should the context go before the call runs, it does not run.
void RunOnGuiThreadAndWait(const std::function<void()>& call, QObject* context = nullptr);

// Queues `call` for the thread of `context` and returns; dropped when `context` goes first.
void PostToGuiThread(QObject* context, std::function<void()> call);

}  // namespace kvt
