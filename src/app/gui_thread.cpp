#include "app/gui_thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace quillon::app {

bool OnGuiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

void GuiCall(const std::function<void()>& f) {
    if (OnGuiThread()) {
        f();
        return;
    }
    QMetaObject::invokeMethod(QCoreApplication::instance(), [&f] { f(); },
                              Qt::BlockingQueuedConnection);
}

void GuiPost(std::function<void()> f) {
    if (OnGuiThread()) {
        f();
        return;
    }
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(f), Qt::QueuedConnection);
}

}  // namespace quillon::app
