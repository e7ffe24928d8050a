#include "MainWindow.h"

#include "AboutBox.h"
#include "ButtonIcons.h"
#include "ClassicFrame.h"
#include "ColumnLayoutFile.h"
#include "ConnectText.h"
#include "Connection.h"
#include "DatabaseTab.h"
#include "ErrorDisplay.h"
#include "GuardedHandler.h"
#include "IniFile.h"
#include "LocaleValues.h"
#include "LogTab.h"
#include "MessageSeam.h"
#include "PlaceholderTab.h"
#include "ProcessTab.h"
#include "Query.h"
#include "ResultGrid.h"
#include "ServerAliases.h"
#include "ServerTab.h"
#include "ServerWait.h"
#include "StatusPane.h"
#include "TahomaFont.h"
#include "FindDialog.h"
#include "VersionText.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProxyStyle>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTime>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace velmora {

namespace {

const QString SettingsFile = QStringLiteral("Velmora.ini");
const QString LayoutFile = QStringLiteral("ColReg.dat");   // in the working directory
const QString BaseCaption = QStringLiteral("Процессы MS SQL");

constexpr int OuterWidth = 971;
constexpr int OuterHeight = 531;
constexpr int PanelHeight = 26;
constexpr int StatusBarHeight = 21;
constexpr int ClockWidth = 72;
constexpr int ControlTop = 2;
constexpr int ControlHeight = 21;
constexpr int AboutRightMargin = 4;   // 937 + 22 + 4 = the panel's width at the design size
constexpr int PanelContentWidth = 937 + 22 + AboutRightMargin;
constexpr int ClockTickMs = 200;

// The top panel's boxes as the classic toolkit draws them: the password box shows "@" for every
// character, and a check box keeps 4 pixels between its box and its caption, which the
// caption's place is measured for.
class PanelStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return u'@';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        if (metric == PM_CheckBoxLabelSpacing)
            return 4;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

QFont labelFont()
{
    return tahomaFont(8, true);
}

QLabel* makeLabel(QWidget* panel, const QString& name, const QString& text, int left, int width)
{
    auto* label = new QLabel(text, panel);
    label->setObjectName(name);
    label->setFont(labelFont());
    label->setGeometry(left, ControlTop, width, ControlHeight);
    return label;
}

QToolButton* makeImageButton(QWidget* parent, const QString& name, ButtonPicture picture,
                             const QString& hint, const QRect& geometry)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(buttonIcon(picture));
    button->setToolTip(hint);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(geometry);
    return button;
}

void makeSeparator(QWidget* panel, int left)
{
    auto* separator = new QFrame(panel);
    separator->setFrameShape(QFrame::VLine);
    separator->setFrameShadow(QFrame::Sunken);
    separator->setGeometry(left, 1, 4, PanelHeight - 2);
}

void showNotice(const QString& caption, const QString& text, QMessageBox::Icon icon)
{
    MessageRequest request;
    request.caption = caption;
    request.text = text;
    request.icon = icon;
    showMessage(request);
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(BaseCaption);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    resize(classicClientSize({OuterWidth, OuterHeight}));

    m_connection = new Connection(this);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* panel = new QFrame(central);
    panel->setObjectName(QStringLiteral("topPanel"));
    panel->setFrameStyle(QFrame::Box | QFrame::Sunken);   // grooved
    panel->setFixedHeight(PanelHeight);
    // Narrower, the About button would lie over the login boxes and the buttons out of reach.
    panel->setMinimumWidth(PanelContentWidth);
    m_panel = panel;
    createTopPanel(panel);
    layout->addWidget(panel);
    m_tabs = new QTabWidget(central);
    m_tabs->setObjectName(QStringLiteral("tabs"));
    m_tabs->setFont(tahomaFont(8));
    // A click on a tab gives the tab row the focus, for the arrow keys.
    m_tabs->tabBar()->setFocusPolicy(Qt::StrongFocus);
    layout->addWidget(m_tabs, 1);
    setCentralWidget(central);

    createTabs();
    createStatusBar();
    createActions();
    applyState(false);
    qApp->installEventFilter(this);
    // Ctrl+F stays the grids' own key, so the dialog opens only where a grid has the focus:
    // the tabs' grids and those of the windows opened from them.
    ResultGrid::setFindDialogOpener([this](ResultGrid& grid) { openFindDialog(grid); });

    restoreSettings();
}

MainWindow::~MainWindow()
{
    ResultGrid::setFindDialogOpener({});
    qApp->removeEventFilter(this);
}

void MainWindow::createTopPanel(QWidget* panel)
{
    makeLabel(panel, QStringLiteral("serverLabel"), QStringLiteral(" Сервер: "), 2, 51);
    m_serverBox = new QComboBox(panel);
    m_serverBox->setObjectName(QStringLiteral("serverBox"));
    m_serverBox->setEditable(true);
    m_serverBox->setInsertPolicy(QComboBox::NoInsert);
    m_serverBox->setGeometry(54, ControlTop, 177, ControlHeight);
    makeSeparator(panel, 232);

    makeLabel(panel, QStringLiteral("loginLabel"), QStringLiteral(" Логин: "), 237, 43);
    m_loginBox = new QLineEdit(panel);
    m_loginBox->setObjectName(QStringLiteral("loginBox"));
    m_loginBox->setGeometry(279, ControlTop, 179, ControlHeight);
    makeSeparator(panel, 459);

    makeLabel(panel, QStringLiteral("passwordLabel"), QStringLiteral(" Пароль: "), 462, 52);
    m_passwordBox = new QLineEdit(panel);
    m_passwordBox->setObjectName(QStringLiteral("passwordBox"));
    m_passwordBox->setEchoMode(QLineEdit::Password);
    auto* panelStyle = new PanelStyle;
    panelStyle->setParent(panel);
    m_passwordBox->setStyle(panelStyle);
    m_passwordBox->setGeometry(512, ControlTop, 179, ControlHeight);
    // Enter in the password box connects.
    connect(m_passwordBox, &QLineEdit::returnPressed, this, guarded(this, &MainWindow::connectClicked));
    makeSeparator(panel, 692);

    m_windowsAuthenticationBox = new QCheckBox(QStringLiteral("Windows authentication"), panel);
    m_windowsAuthenticationBox->setObjectName(QStringLiteral("windowsAuthenticationBox"));
    m_windowsAuthenticationBox->setFont(tahomaFont(8));
    m_windowsAuthenticationBox->setStyle(panelStyle);
    m_windowsAuthenticationBox->setGeometry(697, ControlTop, 134, ControlHeight);
    makeSeparator(panel, 832);

    const int buttonTop = (PanelHeight - 20) / 2;
    m_connectButton = makeImageButton(panel, QStringLiteral("connectButton"), ButtonPicture::Connect,
                                       QStringLiteral("Подключиться (Ctr+C)"), QRect(837, buttonTop, 22, 20));
    m_disconnectButton = makeImageButton(panel, QStringLiteral("disconnectButton"), ButtonPicture::Disconnect,
                                       QStringLiteral("Отключиться (Ctrl+D)"), QRect(861, buttonTop, 22, 20));
    makeSeparator(panel, 884);
    m_exitButton = makeImageButton(panel, QStringLiteral("exitButton"), ButtonPicture::Exit,
                                       QStringLiteral("Выход (Alt+X)"), QRect(889, buttonTop, 22, 20));
    m_aboutButton = makeImageButton(panel, QStringLiteral("aboutButton"), ButtonPicture::About,
                                       QStringLiteral("О программе (F1)"), QRect(937, buttonTop, 22, 20));
    connect(m_connectButton, &QToolButton::clicked, this, guarded(this, &MainWindow::connectClicked));
    connect(m_disconnectButton, &QToolButton::clicked, this, guarded(this, &MainWindow::disconnectClicked));
    connect(m_exitButton, &QToolButton::clicked, this, guarded(this, &MainWindow::exitClicked));
    connect(m_aboutButton, &QToolButton::clicked, this, guarded(this, &MainWindow::aboutClicked));

    setTabOrder(m_serverBox, m_loginBox);
    setTabOrder(m_loginBox, m_passwordBox);
    setTabOrder(m_passwordBox, m_windowsAuthenticationBox);
}

void MainWindow::createTabs()
{
    m_processTab = new ProcessTab(m_connection);
    addWindowTab(m_processTab, QStringLiteral("processTab"));
    m_databaseTab = new DatabaseTab(m_connection);
    addWindowTab(m_databaseTab, QStringLiteral("databaseTab"));
    auto* serverTab = new ServerTab(m_connection);
    addWindowTab(serverTab, QStringLiteral("serverTab"));
    auto* logTab = new LogTab(m_connection);
    addWindowTab(logTab, QStringLiteral("logTab"));
    // The server's properties come right after the process list, the archive list last; tabs
    // added later open after these, in the order they were added.
    m_connectOrder = {m_processTab, serverTab, m_databaseTab, logTab};
    m_tabs->setCurrentIndex(0);
}

void MainWindow::addWindowTab(WindowTab* tab, const QString& objectName)
{
    tab->setObjectName(objectName);
    m_tabs->addTab(tab, tab->caption());
    m_windowTabs.push_back(tab);
    m_connectOrder.push_back(tab);
    tab->setConnectedState(m_connected);
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

void MainWindow::createStatusBar()
{
    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("statusBar"));
    bar->setFixedHeight(StatusBarHeight);
    bar->setSizeGripEnabled(false);
    m_versionPane = new StatusPane(bar);
    m_versionPane->setObjectName(QStringLiteral("versionPane"));
    bar->addWidget(m_versionPane, 1);
    m_clock = new QLabel(bar);
    m_clock->setObjectName(QStringLiteral("clock"));
    m_clock->setFont(tahomaFont(8));
    m_clock->setFixedWidth(ClockWidth);
    m_clock->setAlignment(Qt::AlignCenter);
    bar->addPermanentWidget(m_clock);
    // Shown only while the server is slow to answer: a click on it cancels, as Esc does.
    m_cancelButton = new QToolButton(bar);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_cancelButton->setText(QStringLiteral("Отмена"));
    m_cancelButton->setToolTip(QStringLiteral("Прервать запрос к серверу (Esc)"));
    bar->addPermanentWidget(m_cancelButton);
    m_cancelButton->hide();
    ServerWait& wait = ServerWait::instance();
    wait.letThrough(m_cancelButton);
    connect(m_cancelButton, &QToolButton::clicked, &wait, &ServerWait::cancel);
    connect(&wait, &ServerWait::waitingChanged, m_cancelButton,
            [this, &wait](bool waiting) { m_cancelButton->setVisible(waiting && wait.cancellable()); });
    setStatusBar(bar);

    auto* clock = new QTimer(this);
    connect(clock, &QTimer::timeout, this, &MainWindow::updateClock);
    clock->start(ClockTickMs);
    updateClock();
}

void MainWindow::updateClock()
{
    // Redrawn only when the text changes, not at every tick.
    const QString text = QLocale().toString(QTime::currentTime(), longTimeFormat());
    if (m_clock->text() != text)
        m_clock->setText(text);
}

void MainWindow::createActions()
{
    auto makeAction = [this](QAction*& action, const QString& name, const QKeySequence& shortcut,
                             void (MainWindow::*handler)()) {
        action = new QAction(this);
        action->setObjectName(name);
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, guarded(this, handler));
        addAction(action);
    };
    makeAction(m_connectAction, QStringLiteral("ConnectAction"), QKeySequence(Qt::CTRL | Qt::Key_C),
               &MainWindow::connectClicked);
    makeAction(m_disconnectAction, QStringLiteral("disconnectAction"), QKeySequence(Qt::CTRL | Qt::Key_D),
               &MainWindow::disconnectClicked);
    makeAction(m_refAction, QStringLiteral("RefAction"), QKeySequence(Qt::Key_F5),
               &MainWindow::RefActionExecute);
    makeAction(m_delAction, QStringLiteral("DelAction"), QKeySequence(Qt::CTRL | Qt::Key_Delete),
               &MainWindow::DelActionExecute);
    makeAction(m_filterAction, QStringLiteral("FilterAction"), QKeySequence(Qt::Key_F3),
               &MainWindow::FilterActionExecute);
    makeAction(m_exitAction, QStringLiteral("ExitAction"), QKeySequence(Qt::ALT | Qt::Key_X),
               &MainWindow::exitClicked);
    makeAction(m_infoAction, QStringLiteral("InfoAction"), QKeySequence(Qt::Key_F1),
               &MainWindow::aboutClicked);

    // The page control's own keys, wherever the focus is in the window.
    const auto stepTab = [this](const QString& name, const QList<QKeySequence>& keys, int step) {
        auto* action = new QAction(this);
        action->setObjectName(name);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [this, step] {
            const int count = m_tabs->count();
            m_tabs->setCurrentIndex((m_tabs->currentIndex() + step + count) % count);
        });
        addAction(action);
    };
    stepTab(QStringLiteral("nextTabAction"),
            {QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown)}, 1);
    stepTab(QStringLiteral("previousTabAction"),
            {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
             QKeySequence(Qt::CTRL | Qt::Key_PageUp)},
            -1);
}

void MainWindow::applyState(bool connected)
{
    m_connected = connected;
    for (QWidget* control : std::initializer_list<QWidget*>{m_serverBox, m_loginBox, m_passwordBox,
                                                            m_windowsAuthenticationBox, m_connectButton})
        control->setEnabled(!connected);
    m_connectAction->setEnabled(!connected);
    m_disconnectButton->setEnabled(connected);
    for (QAction* action : {m_disconnectAction, m_refAction, m_delAction, m_filterAction})
        action->setEnabled(connected);
    for (WindowTab* tab : m_windowTabs)
        tab->setConnectedState(connected);
}

void MainWindow::restoreSettings()
{
    QStringList aliases = serverAliases();
    std::sort(aliases.begin(), aliases.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    m_serverBox->addItems(aliases);
    // Filling the list must not choose an entry: the box stays empty until the settings say.
    m_serverBox->setCurrentIndex(-1);

    if (QFile::exists(LayoutFile)) {
        try {
            LoadColumnLayout(*m_processTab->DBGridEh1, LayoutFile);
        } catch (...) {
            // The window opens all the same, without the caption's version and the stored
            // server and login.
            showErrorDisplay(errorText(std::current_exception()));
            return;
        }
    }

    setWindowTitle(BaseCaption + QStringLiteral(". Версия: ") + GetFileVersionText(ownExecutablePath()));
    m_serverBox->setEditText(ReadIniValue(SettingsFile, QStringLiteral("ServerOption"),
                                              QStringLiteral("ServerName")));
    m_loginBox->setText(ReadIniValue(SettingsFile, QStringLiteral("LoginOption"), QStringLiteral("LoginName")));
}

void MainWindow::saveAndClose()
{
    // A layout that cannot be written must not cost the settings or keep the window open.
    try {
        SaveColumnLayout(*m_processTab->DBGridEh1, LayoutFile);
    } catch (...) {
        showErrorDisplay(errorText(std::current_exception()));
    }

    Query* procSource = m_processTab->procSource();
    if (procSource->isActive())
        WriteIniValue(SettingsFile, QStringLiteral("SortOption"), QStringLiteral("Sort"), procSource->sort());
    const QString server = m_serverBox->currentText();
    if (!trimmedText(server).isEmpty())
        WriteIniValue(SettingsFile, QStringLiteral("ServerOption"), QStringLiteral("ServerName"), server);
    const QString login = m_loginBox->text();
    if (!trimmedText(login).isEmpty())
        WriteIniValue(SettingsFile, QStringLiteral("LoginOption"), QStringLiteral("LoginName"), login);
    for (WindowTab* tab : m_windowTabs)
        tab->closeAtDisconnect();
    m_connection->close();
}

void MainWindow::connectClicked()
{
    m_serverFamily = ServerFamily::Sql70;
    const QString server = m_serverBox->currentText();
    if (trimmedText(server).isEmpty()) {
        showNotice(QStringLiteral("Сообщение"), QStringLiteral("Выберите сервер."), QMessageBox::Warning);
        return;
    }
    const bool windowsAuthentication = m_windowsAuthenticationBox->isChecked();
    if (trimmedText(m_loginBox->text()).isEmpty() && !windowsAuthentication) {
        showNotice(QStringLiteral("Сообщение"), QStringLiteral("Введите логин."), QMessageBox::Warning);
        return;
    }

    m_connection->setConnectionString(buildConnectionString({server, m_loginBox->text(), m_passwordBox->text(),
                                                        windowsAuthentication,
                                                        GetFileVersionText(ownExecutablePath())}));
    try {
        m_connection->open();
    } catch (...) {
        showNotice(QStringLiteral("Ошибка"),
                   QStringLiteral("Ошибка подключения к серверу ") + server + QStringLiteral(": ")
                       + errorText(std::current_exception()),
                   QMessageBox::Critical);
        disconnectClicked();
        return;
    }
    if (!m_connection->isOpen()) {
        disconnectClicked();
        return;
    }

    // A failing probe or version query would otherwise leave the connection open behind a
    // window that shows the disconnected state: show the error, then disconnect.
    try {
        const CommandResult probe = m_connection->execute(QStringLiteral("Exec xp_msver 'ProductVersion'"));
        if (probe.rowCount() == 0) {
            showNotice(QStringLiteral("Сообщение"),
                       QStringLiteral("Ошибка работы  функции xp_msver. Сервер определен как MS SQL 2000"),
                       QMessageBox::Warning);
            m_serverFamily = ServerFamily::Sql2000;
        } else {
            m_serverFamily = probedServerFamily(probe);
        }
        const CommandResult version = m_connection->execute(QStringLiteral("SELECT @@VERSION"));
        if (version.rowCount() > 0)
            m_versionPane->setText(versionLine(version.text(0)));
    } catch (...) {
        showErrorDisplay(errorText(std::current_exception()));
        disconnectClicked();
        return;
    }

    applyState(true);
    for (WindowTab* tab : m_connectOrder)
        tab->openAfterConnect(m_serverFamily);

    try {
        m_processTab->procSource()->setSort(ReadIniValue(SettingsFile, QStringLiteral("SortOption"),
                                                       QStringLiteral("Sort")));
    } catch (...) {
        // A stored sort string that no longer fits leaves the list in the server's order.
    }
}

void MainWindow::disconnectClicked()
{
    applyState(false);
    for (WindowTab* tab : m_windowTabs)
        tab->closeAtDisconnect();
    m_versionPane->clear();
    m_connection->close();
}

void MainWindow::exitClicked()
{
    close();
}

void MainWindow::aboutClicked()
{
    AboutBox box(this);
    box.exec();
}

void MainWindow::RefActionExecute()
{
    shownTab()->refreshKey();
}

void MainWindow::DelActionExecute()
{
    shownTab()->deleteKey();
}

void MainWindow::FilterActionExecute()
{
    for (WindowTab* tab : m_windowTabs)
        tab->filterValuesKey();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Every road that closes the window (Exit, Alt+X, the close box, Alt+F4) comes here.
    saveAndClose();
    event->accept();
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

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_panel && event->type() == QEvent::Resize) {
        // The About button keeps to the right edge of the panel.
        m_aboutButton->move(m_panel->width() - m_aboutButton->width() - AboutRightMargin,
                               m_aboutButton->y());
    }
    // Edit boxes claim keys such as Ctrl+C for themselves before shortcuts are looked at. A key
    // that belongs to an enabled action of this window goes to the action instead; the key of a
    // disabled action goes on to the focused control.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == this) {
            const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
            const QList<QAction*> windowActions = actions();
            if (std::any_of(windowActions.begin(), windowActions.end(), [&pressed](const QAction* action) {
                    return action->isEnabled() && action->shortcuts().contains(pressed);
                }))
                return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace velmora
