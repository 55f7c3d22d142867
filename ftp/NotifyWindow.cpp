// Posted messages and timer events of a notification window, turned into TMMessage values
// and handed to the window procedure one at a time, in the order the event loop delivers
// them.

#include "NotifyWindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimerEvent>

namespace ftp {

namespace {

QEvent::Type messageEventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

class MessageEvent : public QEvent
{
public:
    explicit MessageEvent(const TMMessage &m) : QEvent(messageEventType()), message(m) {}
    TMMessage message;
};

} // namespace

TMNotifyWindow::TMNotifyWindow(QObject *parent) : QObject(parent) {}

void TMNotifyWindow::Post(const TMMessage &message)
{
    QCoreApplication::postEvent(this, new MessageEvent(message));
}

int TMNotifyWindow::StartTimer(int periodMs)
{
    return startTimer(periodMs, Qt::PreciseTimer);
}

void TMNotifyWindow::StopTimer(int id)
{
    if (id != 0)
        killTimer(id);
}

bool TMNotifyWindow::event(QEvent *e)
{
    if (e->type() == messageEventType()) {
        TMMessage m = static_cast<MessageEvent *>(e)->message;
        if (WndProc)
            WndProc(m);
        return true;
    }
    if (e->type() == QEvent::Timer) {
        TMMessage m;
        m.Msg = WM_TIMER;
        m.WParam = static_cast<quintptr>(static_cast<QTimerEvent *>(e)->timerId());
        if (WndProc)
            WndProc(m);
        return true;
    }
    return QObject::event(e);
}

} // namespace ftp
