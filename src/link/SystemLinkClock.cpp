// SPDX-License-Identifier: GPL-3.0-or-later
#include "SystemLinkClock.h"

#include <QTime>
#include <QTimer>

#include <cmath>

namespace {

class QtLinkTimer final : public LinkTimer
{
public:
    QtLinkTimer()
    {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (m_onTimeout)
                m_onTimeout();
        });
    }
    void start(int hundredths, std::function<void()> onTimeout) override
    {
        m_onTimeout = std::move(onTimeout);
        m_timer.start(hundredths * 10);
    }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
    std::function<void()> m_onTimeout;
};

} // namespace

SystemLinkClock::SystemLinkClock()
    : m_startOfDay(QTime::currentTime().msecsSinceStartOfDay() / 10.0)
{
    m_elapsed.start();
}

double SystemLinkClock::now() const
{
    const double hundredths = m_startOfDay + static_cast<double>(m_elapsed.nsecsElapsed()) / 1e7;
    return std::fmod(hundredths, HundredthsPerDay);
}

std::unique_ptr<LinkTimer> SystemLinkClock::createTimer()
{
    return std::make_unique<QtLinkTimer>();
}
