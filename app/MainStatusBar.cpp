#include "MainStatusBar.h"

#include "LocaleValues.h"
#include "ServerWait.h"
#include "StatusPane.h"
#include "TahomaFont.h"
#include "WaitInputFilter.h"

#include <QLabel>
#include <QLocale>
#include <QTime>
#include <QTimer>
#include <QToolButton>

namespace velmora {

namespace {

constexpr int StatusBarHeight = 21;
constexpr int ClockWidth = 72;
constexpr int ClockTickMs = 200;

} // namespace

MainStatusBar::MainStatusBar(QWidget* parent)
    : QStatusBar(parent)
{
    setObjectName(QStringLiteral("statusBar"));
    setFixedHeight(StatusBarHeight);
    setSizeGripEnabled(false);
    m_versionPane = new StatusPane(this);
    m_versionPane->setObjectName(QStringLiteral("versionPane"));
    addWidget(m_versionPane, 1);
    m_refreshPane = new QLabel(this);
    m_refreshPane->setObjectName(QStringLiteral("refreshPane"));
    m_refreshPane->setFont(tahomaFont(8));
    addPermanentWidget(m_refreshPane);
    m_refreshPane->hide();
    m_clock = new QLabel(this);
    m_clock->setObjectName(QStringLiteral("clock"));
    m_clock->setFont(tahomaFont(8));
    m_clock->setFixedWidth(ClockWidth);
    m_clock->setAlignment(Qt::AlignCenter);
    addPermanentWidget(m_clock);
    // Shown only while the server is slow to answer: a click on it cancels, as Esc does.
    auto* cancelButton = new QToolButton(this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setText(QStringLiteral("Отмена"));
    cancelButton->setToolTip(QStringLiteral("Прервать запрос к серверу (Esc)"));
    addPermanentWidget(cancelButton);
    cancelButton->hide();
    WaitInputFilter::instance().letThrough(cancelButton);
    ServerWait& wait = ServerWait::instance();
    connect(cancelButton, &QToolButton::clicked, &wait, &ServerWait::cancel);
    connect(&wait, &ServerWait::waitingChanged, cancelButton,
            [cancelButton, &wait](bool waiting) { cancelButton->setVisible(waiting && wait.cancellable()); });

    auto* clock = new QTimer(this);
    connect(clock, &QTimer::timeout, this, &MainStatusBar::updateClock);
    clock->start(ClockTickMs);
    updateClock();
}

void MainStatusBar::setVersionLine(const QString& line)
{
    m_versionPane->setText(line);
}

void MainStatusBar::setRefreshLine(const QString& line)
{
    m_refreshPane->setText(line);
    m_refreshPane->setVisible(!line.isEmpty());
}

void MainStatusBar::updateClock()
{
    // Redrawn only when the text changes, not at every tick.
    const QString text = QLocale().toString(QTime::currentTime(), longTimeFormat());
    if (m_clock->text() != text)
        m_clock->setText(text);
}

} // namespace velmora
