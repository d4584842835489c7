#pragma once

#include <QHash>
#include <QObject>
#include <QTimer>
#include <functional>

// Timers known by number, as a window's are: starting one again restarts it with the
// new period, and every tick reaches one handler with the timer's number.
class NumberedTimers : public QObject
{
public:
    NumberedTimers(std::function<void(int id)> tick, QObject *parent)
        : QObject(parent), m_tick(std::move(tick)) {}

    void start(int id, int milliseconds)
    {
        QTimer *&timer = m_timers[id];
        if (!timer) {
            timer = new QTimer(this);
            connect(timer, &QTimer::timeout, this, [this, id] { m_tick(id); });
        }
        timer->start(milliseconds);
    }
    void stop(int id)
    {
        if (QTimer *timer = m_timers.value(id))
            timer->stop();
    }
    bool isActive(int id) const { return m_timers.value(id) && m_timers.value(id)->isActive(); }
    int interval(int id) const { return m_timers.value(id) ? m_timers.value(id)->interval() : 0; }

private:
    std::function<void(int)> m_tick;
    QHash<int, QTimer *> m_timers;
};
