#include "ProcessDetailWindow.h"

#include "ButtonIcons.h"
#include "ClassicFrame.h"
#include "GridSetup.h"
#include "GuardedHandler.h"
#include "LockQueries.h"
#include "MessageSeam.h"
#include "ProcessDetail.h"
#include "Query.h"
#include "ResultGrid.h"
#include "SortFilterAdapter.h"
#include "TabToolBar.h"
#include "TahomaFont.h"

#include <QAction>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>
#include <memory>

namespace velmora {

namespace {

const QString windowCaption = QStringLiteral("Информация по процессу");

QLabel* boldLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

} // namespace

ProcessDetailWindow::ProcessDetailWindow(QWidget* owner)
    : QDialog(owner)
    , m_detail(new ProcessDetail([this](Query& locks) { ApplyLocalSort(*m_lockGrid, locks); }, this))
{
    setObjectName(QStringLiteral("ProcessDetailWindow"));
    setWindowTitle(windowCaption);
    setFont(tahomaFont(8));
    setModal(true);
    resize(classicClientSize({824, 412}));

    auto* toolBar = new TabToolBar(QStringLiteral("detailToolBar"), this,
                                   Qt::LeftEdge | Qt::RightEdge | Qt::TopEdge | Qt::BottomEdge);
    m_refreshButton = toolBar->addButton(QStringLiteral("refreshButton"), 4, buttonIcon(ButtonPicture::Refresh),
                                         QStringLiteral("Обновить"));
    toolBar->addSeparator(QStringLiteral("separatorAfterRefresh"), 29, 8);
    QToolButton* exitButton = toolBar->addButton(QStringLiteral("exitButton"), 37, buttonIcon(ButtonPicture::Exit),
                                                 QStringLiteral("Выход"));
    connect(m_refreshButton, &QToolButton::clicked, this, guarded(this, &ProcessDetailWindow::refresh));
    connect(exitButton, &QToolButton::clicked, this, &ProcessDetailWindow::close);

    auto* locksBox = new QGroupBox(QStringLiteral("Блокировки процесса"), this);
    locksBox->setObjectName(QStringLiteral("locksBox"));
    GridBehaviourOptions behaviour;
    behaviour.autoSortMarking = true;
    m_lockGrid = makeGrid(locksBox, {.name = "lockGrid",
                                     .source = &m_detail->locks(),
                                     .columns = lockGridColumns(),
                                     .behaviour = behaviour});
    auto* locksLayout = new QVBoxLayout(locksBox);
    locksLayout->setContentsMargins(2, 2, 2, 2);
    locksLayout->addWidget(m_lockGrid);

    QGroupBox* inputBufferBox = buildInputBufferBox();
    connect(&m_detail->inputBuffer(), &Query::afterScroll, this, &ProcessDetailWindow::showInputBuffer);
    connect(&m_detail->inputBuffer(), &Query::afterClose, this, &ProcessDetailWindow::showInputBuffer);

    m_refreshAction = new QAction(this);
    m_refreshAction->setObjectName(QStringLiteral("RefAction"));
    m_refreshAction->setShortcut(Qt::Key_F5);
    m_refreshAction->setShortcutContext(Qt::WindowShortcut);
    connect(m_refreshAction, &QAction::triggered, this, guarded(this, &ProcessDetailWindow::refresh));
    addAction(m_refreshAction);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar);
    layout->addWidget(locksBox, 1);
    layout->addWidget(inputBufferBox);
}

ProcessDetailWindow::~ProcessDetailWindow() = default;

QGroupBox* ProcessDetailWindow::buildInputBufferBox()
{
    auto* box = new QGroupBox(windowCaption, this);
    box->setObjectName(QStringLiteral("inputBufferBox"));
    box->setFixedHeight(126);

    auto* strip = new QWidget(box);
    strip->setFixedHeight(23);
    QLabel* eventType = boldLabel(QStringLiteral("Event Type:"), strip);
    eventType->move(3, 4);
    m_eventTypeEdit = new QLineEdit(strip);
    m_eventTypeEdit->setObjectName(QStringLiteral("EventTypeEdit"));
    m_eventTypeEdit->setReadOnly(true);
    m_eventTypeEdit->setGeometry(71, 1, 257, 21);
    QLabel* parameters = boldLabel(QStringLiteral("Parameters:"), strip);
    parameters->move(331, 4);
    m_parametersEdit = new QLineEdit(strip);
    m_parametersEdit->setObjectName(QStringLiteral("ParametersEdit"));
    m_parametersEdit->setReadOnly(true);
    m_parametersEdit->setGeometry(404, 1, 109, 21);

    m_eventInfoMemo = new QPlainTextEdit(box);
    m_eventInfoMemo->setObjectName(QStringLiteral("EventInfoMemo"));
    m_eventInfoMemo->setReadOnly(true);
    m_eventInfoMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);
    layout->addWidget(strip);
    layout->addWidget(boldLabel(QStringLiteral(" Event Info:"), box));
    layout->addWidget(m_eventInfoMemo, 1);
    return box;
}

void ProcessDetailWindow::showModalFor(QWidget* owner, Connection* connection, const QString& spid)
{
    auto window = std::make_unique<ProcessDetailWindow>(owner);
    window->openQueries(connection, spid);
    window->exec();
}

void ProcessDetailWindow::showRecordedFor(QWidget* owner, int spid, std::vector<Row> locks)
{
    auto window = std::make_unique<ProcessDetailWindow>(owner);
    window->m_detail->openRecorded(std::move(locks));
    window->m_refreshButton->setEnabled(false);
    window->m_refreshAction->setEnabled(false);
    window->setSpidCaption(QString::number(spid));
    window->exec();
}

void ProcessDetailWindow::openQueries(Connection* connection, const QString& spid)
{
    m_detail->open(connection, spid);
    setSpidCaption(spid);
}

void ProcessDetailWindow::setSpidCaption(const QString& spid)
{
    setWindowTitle(windowTitle() + QLatin1Char(' ') + spid);
}

void ProcessDetailWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    runGuarded([this] { arrangeOnFirstShow(); });
}

void ProcessDetailWindow::arrangeOnFirstShow()
{
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
    m_lockGrid->setSortMarker(m_lockGrid->columnIndex(QStringLiteral("dbid")), SortMarker::Down);
    m_detail->sortAndGoFirst();
}

void ProcessDetailWindow::refresh()
{
    if (m_detail->refresh())
        return;
    MessageRequest message;
    message.caption = QStringLiteral("Сообщение");
    message.text = QStringLiteral("Ошибка при обновлении данных.");
    message.icon = QMessageBox::Critical;
    showMessage(message);
}

void ProcessDetailWindow::showInputBuffer()
{
    const Query& inputBuffer = m_detail->inputBuffer();
    const bool hasRow = inputBuffer.isActive() && inputBuffer.recNo() >= 0;
    const auto text = [&](const char* field) {
        return hasRow ? inputBuffer.value(QString::fromLatin1(field)).toString() : QString();
    };
    m_eventTypeEdit->setText(text("EventType"));
    m_parametersEdit->setText(text("Parameters"));
    m_eventInfoMemo->setPlainText(text("EventInfo"));
}

} // namespace velmora
