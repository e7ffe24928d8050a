#include "MainWindow.h"

#include "AboutBox.h"
#include "ActionKeyFilter.h"
#include "AutoRefresh.h"
#include "ClassicFrame.h"
#include "ConnectSession.h"
#include "Connection.h"
#include "DatabaseTab.h"
#include "ErrorDisplay.h"
#include "FindDialog.h"
#include "GuardedHandler.h"
#include "LogTab.h"
#include "MainStatusBar.h"
#include "ProcessTab.h"
#include "Query.h"
#include "RecordingControls.h"
#include "ResultGrid.h"
#include "ServerAliases.h"
#include "ServerTab.h"
#include "TahomaFont.h"
#include "TopPanel.h"
#include "VersionText.h"

#include <QAction>
#include <QCloseEvent>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace velmora {

namespace {

const QString BaseCaption = QStringLiteral("Процессы MS SQL");
constexpr int OuterWidth = 971;
constexpr int OuterHeight = 531;

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), m_session(new ConnectSession(this))
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(BaseCaption);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    resize(classicClientSize({OuterWidth, OuterHeight}));

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_topPanel = new TopPanel(central);
    layout->addWidget(m_topPanel);
    m_tabs = new QTabWidget(central);
    m_tabs->setObjectName(QStringLiteral("tabs"));
    m_tabs->setFont(tahomaFont(8));
    // A click on a tab gives the tab row the focus, for the arrow keys.
    m_tabs->tabBar()->setFocusPolicy(Qt::StrongFocus);
    layout->addWidget(m_tabs, 1);
    setCentralWidget(central);
    m_statusBar = new MainStatusBar(this);
    setStatusBar(m_statusBar);

    connect(m_topPanel, &TopPanel::connectRequested, this, guarded(this, &MainWindow::connectClicked));
    connect(m_topPanel, &TopPanel::disconnectRequested, this, guarded(this, &MainWindow::disconnectClicked));
    connect(m_topPanel, &TopPanel::exitRequested, this, guarded([this] { close(); }));
    connect(m_topPanel, &TopPanel::aboutRequested, this, guarded([this] { AboutBox(this).exec(); }));
    connect(m_session, &ConnectSession::stateChanged, this, [this](bool connected) {
        applyState(connected);
        if (!connected)
            for (WindowTab* tab : m_windowTabs)
                tab->closeAtDisconnect();
    });

    createTabs();
    createActions();
    createRecordingActions();
    new ActionKeyFilter(*this);
    applyState(false);
    restoreSettings();
}

MainWindow::~MainWindow() = default;

void MainWindow::createTabs()
{
    m_processTab = new ProcessTab(connection());
    addWindowTab(m_processTab, QStringLiteral("processTab"));
    auto* databaseTab = new DatabaseTab(connection());
    addWindowTab(databaseTab, QStringLiteral("databaseTab"));
    auto* serverTab = new ServerTab(connection());
    addWindowTab(serverTab, QStringLiteral("serverTab"));
    auto* logTab = new LogTab(connection());
    addWindowTab(logTab, QStringLiteral("logTab"));
    // The server's properties come right after the process list, the archive list last; tabs
    // added later open after these, in the order they were added.
    m_connectOrder = {m_processTab, serverTab, databaseTab, logTab};
    m_tabs->setCurrentIndex(0);
    m_layoutStore = std::make_unique<ColumnLayoutStore>(*m_processTab);
    connect(m_processTab->autoRefresh(), &AutoRefresh::statusChanged, m_statusBar, &MainStatusBar::setRefreshLine);
    connect(m_processTab, &ProcessTab::autoRefreshIntervalChosen, this,
            [this](int seconds) { m_settings.saveAutoRefreshInterval(seconds); });
}

void MainWindow::addWindowTab(WindowTab* tab, const QString& objectName)
{
    tab->setObjectName(objectName);
    m_tabs->addTab(tab, tab->caption());
    m_windowTabs.push_back(tab);
    m_connectOrder.push_back(tab);
    tab->setConnectedState(m_session->isConnected());
    offerFindDialog(*tab);
}

void MainWindow::offerFindDialog(QWidget& owner)
{
    // Ctrl+F stays the grids' own key, so the dialog opens only where a grid has the focus.
    for (ResultGrid* grid : owner.findChildren<ResultGrid*>())
        connect(grid, &ResultGrid::findRequested, this, guarded([this, grid] { openFindDialog(*grid); }));
}

void MainWindow::openFindDialog(ResultGrid& grid)
{
    if (!m_findDialog)
        m_findDialog = std::make_unique<FindDialog>(programTitle(ownExecutablePath()), this);
    m_findDialog->execFor(grid, QString());
}

WindowTab* MainWindow::shownTab() const
{
    return m_windowTabs[size_t(m_tabs->currentIndex())];
}

void MainWindow::createActions()
{
    const auto makeAction = [this](const QString& name, const QList<QKeySequence>& keys, auto handler) {
        auto* action = new QAction(this);
        action->setObjectName(name);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, guarded(handler));
        addAction(action);
        return action;
    };
    m_connectAction = makeAction(QStringLiteral("ConnectAction"), {QKeySequence(Qt::CTRL | Qt::Key_C)},
                                 [this] { connectClicked(); });
    m_connectedActions = {
        makeAction(QStringLiteral("disconnectAction"), {QKeySequence(Qt::CTRL | Qt::Key_D)},
                   [this] { disconnectClicked(); }),
        makeAction(QStringLiteral("RefAction"), {QKeySequence(Qt::Key_F5)}, [this] { shownTab()->refreshKey(); }),
        // The shown tab's delete key: on "Процессы" it terminates the current process.
        makeAction(QStringLiteral("DelAction"), {QKeySequence(Qt::CTRL | Qt::Key_Delete)},
                   [this] { shownTab()->deleteKey(); }),
        // Every tab's filter-values key (the process grid's value lists), whichever tab is shown.
        makeAction(QStringLiteral("FilterAction"), {QKeySequence(Qt::Key_F3)}, [this] {
            for (WindowTab* tab : m_windowTabs)
                tab->filterValuesKey();
        }),
    };
    // Enabled in both states, as the tab's own controls are: it only pauses or resumes the watch.
    makeAction(QStringLiteral("AutoRefreshPauseAction"), {QKeySequence(Qt::Key_F9)},
               [this] { m_processTab->pauseKey(); });
    // The blocking tree's keys, on "Процессы" alone; the tab itself knows whether it is connected.
    makeAction(QStringLiteral("TreeAction"), {QKeySequence(Qt::CTRL | Qt::Key_T)}, [this] {
        if (shownTab() == m_processTab)
            m_processTab->blockingTreeKey();
    });
    makeAction(QStringLiteral("BlockerAction"), {QKeySequence(Qt::CTRL | Qt::Key_B)}, [this] {
        if (shownTab() == m_processTab)
            m_processTab->blockerKey();
    });
    // The process tab's view toggles: enabled whether connected or not.
    addActions(m_processTab->windowActions());
    makeAction(QStringLiteral("ExitAction"), {QKeySequence(Qt::ALT | Qt::Key_X)}, [this] { close(); });
    makeAction(QStringLiteral("InfoAction"), {QKeySequence(Qt::Key_F1)}, [this] { AboutBox(this).exec(); });

    // The page control's own keys, wherever the focus is in the window.
    const auto stepTab = [this](int step) {
        const int count = m_tabs->count();
        m_tabs->setCurrentIndex((m_tabs->currentIndex() + step + count) % count);
    };
    makeAction(QStringLiteral("nextTabAction"),
               {QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown)},
               [stepTab] { stepTab(1); });
    makeAction(QStringLiteral("previousTabAction"),
               {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
                QKeySequence(Qt::CTRL | Qt::Key_PageUp)},
               [stepTab] { stepTab(-1); });
}

void MainWindow::createRecordingActions()
{
    RecordingControls* recording = m_processTab->recordingControls();
    const auto makeAction = [this](const QString& name, const QKeySequence& key, auto handler) {
        auto* action = new QAction(this);
        action->setObjectName(name);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, guarded(handler));
        addAction(action);
    };
    makeAction(QStringLiteral("recordAction"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R),
               [recording] { recording->toggleRecording(); });
    makeAction(QStringLiteral("openRecordingAction"), QKeySequence(Qt::CTRL | Qt::Key_O),
               [recording] { recording->openRecording(); });
    using Step = RecordingControls::Step;
    for (auto [name, key, step] : {std::tuple{"firstSnapshotAction", Qt::Key_Home, Step::First},
                                   {"previousSnapshotAction", Qt::Key_Left, Step::Previous},
                                   {"nextSnapshotAction", Qt::Key_Right, Step::Next},
                                   {"lastSnapshotAction", Qt::Key_End, Step::Last}})
        makeAction(QString::fromLatin1(name), QKeySequence(Qt::ALT | key),
                   [recording, to = step] { recording->step(to); });
    connect(recording, &RecordingControls::captionChanged, this, &MainWindow::showReplayCaption);
}

void MainWindow::showReplayCaption(const QString& caption)
{
    if (caption.isEmpty()) {
        if (!m_titleOutsideReplay.isEmpty())
            setWindowTitle(m_titleOutsideReplay);
        m_titleOutsideReplay.clear();
        return;
    }
    if (m_titleOutsideReplay.isEmpty())
        m_titleOutsideReplay = windowTitle();
    setWindowTitle(m_titleOutsideReplay + QStringLiteral(" — ") + caption);
}

void MainWindow::applyState(bool connected)
{
    m_statusBar->setVersionLine(m_session->versionLine());
    m_topPanel->setConnectedState(connected);
    m_connectAction->setEnabled(!connected);
    for (QAction* action : m_connectedActions)
        action->setEnabled(connected);
    for (WindowTab* tab : m_windowTabs)
        tab->setConnectedState(connected);
}

void MainWindow::restoreSettings()
{
    m_topPanel->setServerAliases(serverAliases());
    m_processTab->setAutoRefreshInterval(m_settings.autoRefreshInterval());
    // A damaged layout file leaves the window without the caption's version and the stored
    // server and login.
    if (!m_layoutStore->restore())
        return;
    setWindowTitle(BaseCaption + QStringLiteral(". Версия: ") + GetFileVersionText(ownExecutablePath()));
    m_topPanel->setServer(m_settings.server());
    m_topPanel->setLogin(m_settings.login());
}

void MainWindow::connectClicked()
{
    if (!m_session->open(m_topPanel->loginInput()))
        return;
    for (WindowTab* tab : m_connectOrder)
        tab->openAfterConnect(m_session->serverFamily());
    try {
        m_processTab->procSource()->setSort(m_settings.sort());
    } catch (...) {
        // A stored sort string that no longer fits leaves the list in the server's order.
    }
}

void MainWindow::disconnectClicked()
{
    m_session->close();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Every road that closes the window (Exit, Alt+X, the close box, Alt+F4) comes here. A
    // layout that cannot be written must not cost the settings or keep the window open.
    m_layoutStore->save();
    const Query* procSource = m_processTab->procSource();
    // A replayed list's order is the recording's business, not the server list's stored one.
    if (procSource->isActive() && !m_processTab->recordingControls()->isReplaying())
        m_settings.saveSort(procSource->sort());
    m_settings.saveLogin(m_topPanel->server(), m_topPanel->login());
    for (WindowTab* tab : m_windowTabs)
        tab->closeAtDisconnect();
    connection()->close();
    event->accept();
}

void MainWindow::childEvent(QChildEvent* event)
{
    QMainWindow::childEvent(event);
    // A window opened from a tab (the process detail window) is this window's child: once it
    // is ready to show, its grids ask for this window's find dialog too.
    auto* child = qobject_cast<QWidget*>(event->child());
    if (event->polished() && child && child->isWindow())
        offerFindDialog(*child);
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    if (const QScreen* shown = screen())
        move(shown->availableGeometry().center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
}

} // namespace velmora
