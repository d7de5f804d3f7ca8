#include "Scheduler.h"

#include <QTimer>

namespace Tidemark {

void QtScheduler::schedule(std::chrono::milliseconds delay, std::function<void()> task) {
    QTimer::singleShot(delay, context_, std::move(task));
}

void QtScheduler::post(std::function<void()> task) {
    QMetaObject::invokeMethod(context_, std::move(task), Qt::QueuedConnection);
}

}  // namespace Tidemark
