// The process list's refresh that keeps watching: a chosen interval, counted from the end of the
// previous refresh, a pause the operator toggles, pauses of its own while the window is busy
// with something else, and a stop at the first refresh that fails.
#pragma once

#include <QObject>
#include <QTime>
#include <QTimer>
#include <functional>
#include <optional>
#include <span>

namespace velmora {

class AutoRefresh : public QObject {
    Q_OBJECT
public:
    /// The intervals offered, in seconds; 0 is off.
    static std::span<const int> intervals();

    /// `refresh` reads the list again and throws what the reading throws.
    AutoRefresh(std::function<void()> refresh, QObject* parent);

    /// Whether a refresh may start now besides the server being free (the window is idle);
    /// always by default.
    std::function<bool()> mayStart = [] { return true; };

    int interval() const { return m_interval; }
    /// Sets the interval in seconds (0: off) and counts it from now; a value not offered is taken
    /// as off. Choosing an interval resumes a paused or stopped watch.
    void setInterval(int seconds);
    bool paused() const { return m_paused; }
    void setPaused(bool paused);
    /// F9: pauses or resumes; nothing while the interval is off.
    void togglePause();
    /// Whether the list is open to be refreshed (the window is connected).
    void setListOpen(bool open);

    /// Refreshes now, as F5 does: times the reading, shows it, and counts the next interval from
    /// its end. A failure pauses the watch before it is thrown on, so that it is reported once.
    void refreshNow();

    /// Whether the next automatic refresh is being counted down.
    bool counting() const { return m_timer.isActive(); }
    /// The status bar's line: empty while the interval is off or the list is not open.
    QString statusText() const;

    /// Test hook: how many milliseconds a second of the interval lasts.
    void setSecondLength(int milliseconds) { m_secondMs = milliseconds; }

signals:
    void statusChanged(const QString& text);
    void pausedChanged(bool paused);

private:
    void timerFired();
    /// Starts or stops the count-down as the state asks.
    void rearm();
    void publish();

    std::function<void()> m_refresh;
    QTimer m_timer;
    int m_interval = 0;
    bool m_paused = false;
    bool m_listOpen = false;
    bool m_running = false;   // a refresh is under way
    int m_secondMs = 1000;
    std::optional<QTime> m_lastAt;
    qint64 m_lastCostMs = 0;
    QString m_shown;
};

} // namespace velmora
