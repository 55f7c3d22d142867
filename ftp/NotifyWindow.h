#pragma once
// TMNotifyWindow stands for a socket's hidden notification window: a QObject that receives
// the socket's notifications as posted events (and its one-second timer as timer events)
// and hands each, in the order it arrived, to one message procedure. Nothing is handled
// outside the thread that owns the object.

#include <QObject>

#include <functional>

namespace ftp {

// A window message as the socket layer handles it. Serial names the socket the message
// was made for (0 for messages that concern no particular socket).
struct TMMessage
{
    unsigned Msg = 0;
    quintptr WParam = 0;
    qintptr LParam = 0;
    qintptr Result = 0;
    quint64 Serial = 0;
};

class TMNotifyWindow : public QObject
{
public:
    static constexpr unsigned WM_QUERYENDSESSION = 17;
    static constexpr unsigned WM_TIMER = 275;
    static constexpr unsigned WM_USER = 1024;

    explicit TMNotifyWindow(QObject *parent = nullptr);

    // Receives every message; set by the owning socket.
    std::function<void(TMMessage &)> WndProc;

    // Queues a message behind the events already waiting (PostMessage).
    void Post(const TMMessage &message);

    // Starts a one-second timer; returns its id (0 when it could not start).
    int StartTimer(int periodMs);
    void StopTimer(int id);

protected:
    bool event(QEvent *e) override;
};

} // namespace ftp
