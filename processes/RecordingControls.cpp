#include "RecordingControls.h"

#include "ErrorDisplay.h"
#include "FilterRow.h"
#include "GuardedHandler.h"
#include "ProcessMonitor.h"
#include "ProcessRecorder.h"
#include "ProcessReplay.h"
#include "RecordingError.h"
#include "ResultGrid.h"
#include "SortFilterAdapter.h"
#include "TabToolBar.h"

#include <QFileDialog>
#include <QLabel>
#include <QSlider>
#include <QStyle>
#include <QToolButton>

namespace velmora {

namespace {

const QString RecordingFilter = QStringLiteral("Записи процессов (*.vrec);;Все файлы (*)");
constexpr int SliderLeft = 391;
constexpr int SliderWidth = 180;
constexpr int PositionWidth = 175;

} // namespace

RecordingControls::RecordingControls(TabToolBar& toolBar, ProcessMonitor& monitor, ResultGrid& grid,
                                     Connection* connection)
    : QObject(&toolBar)
    , m_monitor(monitor)
    , m_grid(grid)
    , m_recorder(new ProcessRecorder(monitor, connection, this))
    , m_replay(new ProcessReplay(monitor, this))
{
    QStyle* style = toolBar.style();
    toolBar.addSeparator(QStringLiteral("separatorBeforeRecording"), 330, 8);
    m_recordButton = toolBar.addButton(QStringLiteral("recordButton"), 338,
                                       style->standardIcon(QStyle::SP_DialogSaveButton),
                                       QStringLiteral("Записывать процессы в файл (Ctrl+Shift+R)"));
    m_recordButton->setCheckable(true);
    m_openButton = toolBar.addButton(QStringLiteral("openRecordingButton"), 363,
                                     style->standardIcon(QStyle::SP_DialogOpenButton),
                                     QStringLiteral("Открыть запись (Ctrl+O)"));
    m_slider = new QSlider(Qt::Horizontal, &toolBar);
    m_slider->setObjectName(QStringLiteral("replaySlider"));
    m_slider->setToolTip(QStringLiteral("Снимок записи (Alt+Left, Alt+Right, Alt+Home, Alt+End)"));
    m_slider->setFocusPolicy(Qt::NoFocus);
    m_slider->setGeometry(SliderLeft, (TabToolBar::barHeight - 21) / 2, SliderWidth, 21);
    m_position = new QLabel(&toolBar);
    m_position->setObjectName(QStringLiteral("replayPosition"));
    m_position->setGeometry(SliderLeft + SliderWidth + 6, 0, PositionWidth, TabToolBar::barHeight);
    m_closeButton = toolBar.addButton(QStringLiteral("closeRecordingButton"),
                                      SliderLeft + SliderWidth + 6 + PositionWidth,
                                      style->standardIcon(QStyle::SP_DialogCloseButton),
                                      QStringLiteral("Закрыть запись"));

    onChooseRecordingFile = [&toolBar] {
        return QFileDialog::getSaveFileName(toolBar.window(), QStringLiteral("Записывать процессы в файл"),
                                            QString(), RecordingFilter);
    };
    onChooseRecordingToOpen = [&toolBar] {
        return QFileDialog::getOpenFileName(toolBar.window(), QStringLiteral("Открыть запись"), QString(),
                                            RecordingFilter);
    };

    connect(m_recordButton, &QToolButton::clicked, this, guarded(this, &RecordingControls::toggleRecording));
    connect(m_openButton, &QToolButton::clicked, this, guarded(this, &RecordingControls::openRecording));
    connect(m_closeButton, &QToolButton::clicked, this, guarded(this, &RecordingControls::closeRecording));
    connect(m_slider, &QSlider::valueChanged, this, guarded([this](int index) {
                if (m_replay->isOpen() && index != m_replay->index())
                    showIndex(index);
            }));
    connect(m_recorder, &ProcessRecorder::failed, this, [this](const QString& message) {
        m_recordingPath.clear();
        updateControls();
        showErrorDisplay(message);
    });
    connect(m_replay, &ProcessReplay::shown, this, &RecordingControls::replayShown);
    connect(m_replay, &ProcessReplay::shown, this, &RecordingControls::snapshotShown);
    connect(m_replay, &ProcessReplay::closed, this, &RecordingControls::replayClosed);
    updateControls();
}

RecordingControls::~RecordingControls() = default;

bool RecordingControls::isRecording() const
{
    return m_recorder->isRecording();
}

bool RecordingControls::isReplaying() const
{
    return m_replay->isOpen();
}

std::vector<Row> RecordingControls::recordedLocksOf(int spid) const
{
    return m_replay->locksOf(spid);
}

void RecordingControls::toggleRecording()
{
    if (m_recorder->isRecording()) {
        m_recorder->stop();
    } else if (!m_replay->isOpen()) {
        if (m_recordingPath.isEmpty())
            m_recordingPath = onChooseRecordingFile();
        if (!m_recordingPath.isEmpty()) {
            try {
                m_recorder->start(m_recordingPath);
            } catch (const RecordingError& error) {
                m_recordingPath.clear();
                updateControls();
                showErrorDisplay(error.text());
            }
        }
    }
    updateControls();
}

void RecordingControls::openRecording()
{
    if (m_connected)
        return;
    const QString path = onChooseRecordingToOpen();
    if (path.isEmpty())
        return;
    const bool wasOpen = m_replay->isOpen();
    try {
        m_replay->open(path);
    } catch (const RecordingError& error) {
        showErrorDisplay(error.text());
        return;
    }
    if (wasOpen)
        return;
    // The filter row is there to type conditions into; its value lists need a server.
    m_grid.filterRow()->setRowVisible(true);
    requestLocalSort(m_grid);
    if (m_grid.isVisible())
        m_grid.setFocus(Qt::OtherFocusReason);
}

void RecordingControls::closeRecording()
{
    m_replay->close();
}

void RecordingControls::step(Step step)
{
    if (!m_replay->isOpen())
        return;
    switch (step) {
    case Step::First: showIndex(0); break;
    case Step::Previous: showIndex(m_replay->index() - 1); break;
    case Step::Next: showIndex(m_replay->index() + 1); break;
    case Step::Last: showIndex(m_replay->count() - 1); break;
    }
}

void RecordingControls::showAgain()
{
    if (m_replay->isOpen())
        showIndex(m_replay->index());
}

void RecordingControls::setConnectedState(bool connected)
{
    m_connected = connected;
    if (connected)
        m_replay->close();
    updateControls();
}

void RecordingControls::showIndex(int index)
{
    try {
        m_replay->show(index);
    } catch (const RecordingError& error) {
        m_replay->close();
        showErrorDisplay(error.text());
    }
}

void RecordingControls::replayShown()
{
    updateControls();
    emit captionChanged(m_replay->caption());
}

void RecordingControls::replayClosed()
{
    m_grid.filterRow()->setRowVisible(false);
    updateControls();
    emit captionChanged(QString());
}

void RecordingControls::updateControls()
{
    const bool replaying = m_replay->isOpen();
    m_recordButton->setEnabled(!replaying);
    m_recordButton->setChecked(m_recorder->isRecording());
    m_openButton->setEnabled(!m_connected);
    m_slider->setVisible(replaying);
    m_position->setVisible(replaying);
    m_closeButton->setVisible(replaying);
    if (!replaying)
        return;
    const QSignalBlocker quiet(m_slider);
    m_slider->setRange(0, m_replay->count() - 1);
    m_slider->setValue(m_replay->index());
    m_position->setText(QStringLiteral("%1 из %2").arg(m_replay->index() + 1).arg(m_replay->count()));
}

} // namespace velmora
