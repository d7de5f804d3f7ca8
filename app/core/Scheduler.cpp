#include "Scheduler.h"

#include <QThread>
#include <QTimer>

namespace Tidemark {

void runOnThreadOf(QObject* context, std::function<void()> task) {
    if (QThread::currentThread() == context->thread()) {
        task();
        return;
    }
    QMetaObject::invokeMethod(context, std::move(task), Qt::QueuedConnection);
}

void QtScheduler::schedule(std::chrono::milliseconds delay, std::function<void()> task) {
    QTimer::singleShot(delay, context_, std::move(task));
}

void QtScheduler::post(std::function<void()> task) {
    runOnThreadOf(context_, std::move(task));
}

}  // namespace Tidemark
