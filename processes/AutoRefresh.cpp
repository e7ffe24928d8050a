#include "AutoRefresh.h"

#include "GuardedHandler.h"
#include "ServerWait.h"

#include <QElapsedTimer>
#include <algorithm>
#include <array>

namespace velmora {

namespace {

constexpr std::array<int, 6> OfferedIntervals{0, 2, 5, 10, 30, 60};

} // namespace

std::span<const int> AutoRefresh::intervals()
{
    return OfferedIntervals;
}

AutoRefresh::AutoRefresh(std::function<void()> refresh, QObject* parent)
    : QObject(parent), m_refresh(std::move(refresh))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &AutoRefresh::timerFired);
}

void AutoRefresh::setInterval(int seconds)
{
    if (std::ranges::find(OfferedIntervals, seconds) == OfferedIntervals.end())
        seconds = 0;
    m_interval = seconds;
    // Choosing an interval is asking to watch at that pace, also after a pause or a stop.
    if (m_paused) {
        m_paused = false;
        emit pausedChanged(false);
    }
    m_timer.stop();
    rearm();
    publish();
}

void AutoRefresh::setPaused(bool paused)
{
    if (m_interval == 0 || paused == m_paused)
        return;
    m_paused = paused;
    emit pausedChanged(paused);
    rearm();
    publish();
}

void AutoRefresh::togglePause()
{
    setPaused(!m_paused);
}

void AutoRefresh::setListOpen(bool open)
{
    m_listOpen = open;
    rearm();
    publish();
}

void AutoRefresh::refreshNow()
{
    m_timer.stop();
    m_running = true;
    QElapsedTimer clock;
    clock.start();
    try {
        m_refresh();
    } catch (...) {
        m_running = false;
        // A lost connection would fail at every interval: the watch stops at the first failure.
        if (m_interval != 0 && !m_paused) {
            m_paused = true;
            emit pausedChanged(true);
        }
        rearm();
        publish();
        throw;
    }
    m_running = false;
    m_lastCostMs = clock.elapsed();
    m_lastAt = QTime::currentTime();
    rearm();
    publish();
}

QString AutoRefresh::statusText() const
{
    // Without a list to read (no server, or a recording replayed) there is nothing to watch.
    if (m_interval == 0 || !m_listOpen)
        return {};
    const QString state = m_paused ? QStringLiteral("пауза (F9)") : QStringLiteral("каждые %1 с").arg(m_interval);
    if (!m_lastAt)
        return QStringLiteral("Автообновление: ") + state;
    return QStringLiteral("Обновлено %1 · %2 мс · %3")
        .arg(m_lastAt->toString(QStringLiteral("HH:mm:ss")))
        .arg(m_lastCostMs)
        .arg(state);
}

void AutoRefresh::timerFired()
{
    // A refresh never runs inside another server call (the window repaints while it waits) nor
    // while a dialog, a menu or the filter editor is open; it is tried again shortly.
    if (m_running || ServerWait::instance().waiting() || !mayStart()) {
        m_timer.start(std::max(1, m_secondMs / 4));
        return;
    }
    runGuarded([this] { refreshNow(); });
}

void AutoRefresh::rearm()
{
    if (m_interval == 0 || m_paused || !m_listOpen) {
        m_timer.stop();
        return;
    }
    // Counted from the end of the refresh before: a slow server never gets them stacked.
    if (!m_running && !m_timer.isActive())
        m_timer.start(m_interval * m_secondMs);
}

void AutoRefresh::publish()
{
    const QString text = statusText();
    if (text == m_shown)
        return;
    m_shown = text;
    emit statusChanged(text);
}

} // namespace velmora
