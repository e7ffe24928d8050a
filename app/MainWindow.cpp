#include "MainWindow.h"

#include "AboutBox.h"
#include "ButtonIcons.h"
#include "ClassicFrame.h"
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
    setObjectName(QStringLiteral("Velmora_FRM"));
    setWindowTitle(BaseCaption);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    resize(classicClientSize({OuterWidth, OuterHeight}));

    Connect = new Connection(this);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* panel = new QFrame(central);
    panel->setObjectName(QStringLiteral("RzPanel1"));
    panel->setFrameStyle(QFrame::Box | QFrame::Sunken);   // grooved
    panel->setFixedHeight(PanelHeight);
    // Narrower, the About button would lie over the login boxes and the buttons out of reach.
    panel->setMinimumWidth(PanelContentWidth);
    m_panel = panel;
    createTopPanel(panel);
    layout->addWidget(panel);
    RzPageControl1 = new QTabWidget(central);
    RzPageControl1->setObjectName(QStringLiteral("RzPageControl1"));
    RzPageControl1->setFont(tahomaFont(8));
    // A click on a tab gives the tab row the focus, for the arrow keys.
    RzPageControl1->tabBar()->setFocusPolicy(Qt::StrongFocus);
    layout->addWidget(RzPageControl1, 1);
    setCentralWidget(central);

    createTabs();
    createStatusBar();
    createActions();
    applyState(false);
    qApp->installEventFilter(this);
    // Ctrl+F stays the grids' own key, so the dialog opens only where a grid has the focus:
    // the tabs' grids and those of the windows opened from them.
    ResultGrid::setFindDialogOpener([this](ResultGrid& grid) { openFindDialog(grid); });

    FormCreate();
}

MainWindow::~MainWindow()
{
    ResultGrid::setFindDialogOpener({});
    qApp->removeEventFilter(this);
}

void MainWindow::createTopPanel(QWidget* panel)
{
    makeLabel(panel, QStringLiteral("RzLabel1"), QStringLiteral(" Сервер: "), 2, 51);
    RzLineComboBox1 = new QComboBox(panel);
    RzLineComboBox1->setObjectName(QStringLiteral("RzLineComboBox1"));
    RzLineComboBox1->setEditable(true);
    RzLineComboBox1->setInsertPolicy(QComboBox::NoInsert);
    RzLineComboBox1->setGeometry(54, ControlTop, 177, ControlHeight);
    makeSeparator(panel, 232);

    makeLabel(panel, QStringLiteral("RzLabel2"), QStringLiteral(" Логин: "), 237, 43);
    RzLineEdit1 = new QLineEdit(panel);
    RzLineEdit1->setObjectName(QStringLiteral("RzLineEdit1"));
    RzLineEdit1->setGeometry(279, ControlTop, 179, ControlHeight);
    makeSeparator(panel, 459);

    makeLabel(panel, QStringLiteral("RzLabel3"), QStringLiteral(" Пароль: "), 462, 52);
    RzLineEdit2 = new QLineEdit(panel);
    RzLineEdit2->setObjectName(QStringLiteral("RzLineEdit2"));
    RzLineEdit2->setEchoMode(QLineEdit::Password);
    auto* panelStyle = new PanelStyle;
    panelStyle->setParent(panel);
    RzLineEdit2->setStyle(panelStyle);
    RzLineEdit2->setGeometry(512, ControlTop, 179, ControlHeight);
    // RzLineEdit2KeyPress: Enter in the password box connects.
    connect(RzLineEdit2, &QLineEdit::returnPressed, this, guarded(this, &MainWindow::RzToolbarButton1Click));
    makeSeparator(panel, 692);

    RzCheckBox1 = new QCheckBox(QStringLiteral("Windows authentication"), panel);
    RzCheckBox1->setObjectName(QStringLiteral("RzCheckBox1"));
    RzCheckBox1->setFont(tahomaFont(8));
    RzCheckBox1->setStyle(panelStyle);
    RzCheckBox1->setGeometry(697, ControlTop, 134, ControlHeight);
    makeSeparator(panel, 832);

    const int buttonTop = (PanelHeight - 20) / 2;
    RzToolbarButton1 = makeImageButton(panel, QStringLiteral("RzToolbarButton1"), ButtonPicture::Connect,
                                       QStringLiteral("Подключиться (Ctr+C)"), QRect(837, buttonTop, 22, 20));
    RzToolbarButton2 = makeImageButton(panel, QStringLiteral("RzToolbarButton2"), ButtonPicture::Disconnect,
                                       QStringLiteral("Отключиться (Ctrl+D)"), QRect(861, buttonTop, 22, 20));
    makeSeparator(panel, 884);
    RzToolbarButton3 = makeImageButton(panel, QStringLiteral("RzToolbarButton3"), ButtonPicture::Exit,
                                       QStringLiteral("Выход (Alt+X)"), QRect(889, buttonTop, 22, 20));
    RzToolbarButton5 = makeImageButton(panel, QStringLiteral("RzToolbarButton5"), ButtonPicture::About,
                                       QStringLiteral("О программе (F1)"), QRect(937, buttonTop, 22, 20));
    connect(RzToolbarButton1, &QToolButton::clicked, this, guarded(this, &MainWindow::RzToolbarButton1Click));
    connect(RzToolbarButton2, &QToolButton::clicked, this, guarded(this, &MainWindow::RzToolbarButton2Click));
    connect(RzToolbarButton3, &QToolButton::clicked, this, guarded(this, &MainWindow::RzToolbarButton3Click));
    connect(RzToolbarButton5, &QToolButton::clicked, this, guarded(this, &MainWindow::RzToolbarButton5Click));

    setTabOrder(RzLineComboBox1, RzLineEdit1);
    setTabOrder(RzLineEdit1, RzLineEdit2);
    setTabOrder(RzLineEdit2, RzCheckBox1);
}

void MainWindow::createTabs()
{
    processTab = new ProcessTab(Connect);
    addWindowTab(processTab, QStringLiteral("TabSheet1"));
    databaseTab = new DatabaseTab(Connect);
    addWindowTab(databaseTab, QStringLiteral("TabSheet2"));
    auto* serverTab = new ServerTab(Connect);
    addWindowTab(serverTab, QStringLiteral("TabSheet3"));
    auto* logTab = new LogTab(Connect);
    addWindowTab(logTab, QStringLiteral("TabSheet4"));
    // The server's properties come right after the process list, the archive list last; tabs
    // added later open after these, in the order they were added.
    m_connectOrder = {processTab, serverTab, databaseTab, logTab};
    RzPageControl1->setCurrentIndex(0);
}

void MainWindow::addWindowTab(WindowTab* tab, const QString& objectName)
{
    tab->setObjectName(objectName);
    RzPageControl1->addTab(tab, tab->caption());
    m_tabs.push_back(tab);
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
    return m_tabs[size_t(RzPageControl1->currentIndex())];
}

void MainWindow::createStatusBar()
{
    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("RzStatusBar1"));
    bar->setFixedHeight(StatusBarHeight);
    bar->setSizeGripEnabled(false);
    RzStatusPane1 = new StatusPane(bar);
    RzStatusPane1->setObjectName(QStringLiteral("RzStatusPane1"));
    bar->addWidget(RzStatusPane1, 1);
    RzClockStatus1 = new QLabel(bar);
    RzClockStatus1->setObjectName(QStringLiteral("RzClockStatus1"));
    RzClockStatus1->setFont(tahomaFont(8));
    RzClockStatus1->setFixedWidth(ClockWidth);
    RzClockStatus1->setAlignment(Qt::AlignCenter);
    bar->addPermanentWidget(RzClockStatus1);
    // Shown only while the server is slow to answer: a click on it cancels, as Esc does.
    CancelButton = new QToolButton(bar);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setText(QStringLiteral("Отмена"));
    CancelButton->setToolTip(QStringLiteral("Прервать запрос к серверу (Esc)"));
    bar->addPermanentWidget(CancelButton);
    CancelButton->hide();
    ServerWait& wait = ServerWait::instance();
    wait.letThrough(CancelButton);
    connect(CancelButton, &QToolButton::clicked, &wait, &ServerWait::cancel);
    connect(&wait, &ServerWait::waitingChanged, CancelButton,
            [this, &wait](bool waiting) { CancelButton->setVisible(waiting && wait.cancellable()); });
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
    if (RzClockStatus1->text() != text)
        RzClockStatus1->setText(text);
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
    makeAction(ConnectAction, QStringLiteral("ConnectAction"), QKeySequence(Qt::CTRL | Qt::Key_C),
               &MainWindow::RzToolbarButton1Click);
    makeAction(disconnectAction, QStringLiteral("disconnectAction"), QKeySequence(Qt::CTRL | Qt::Key_D),
               &MainWindow::RzToolbarButton2Click);
    makeAction(RefAction, QStringLiteral("RefAction"), QKeySequence(Qt::Key_F5),
               &MainWindow::RefActionExecute);
    makeAction(DelAction, QStringLiteral("DelAction"), QKeySequence(Qt::CTRL | Qt::Key_Delete),
               &MainWindow::DelActionExecute);
    makeAction(FilterAction, QStringLiteral("FilterAction"), QKeySequence(Qt::Key_F3),
               &MainWindow::FilterActionExecute);
    makeAction(ExitAction, QStringLiteral("ExitAction"), QKeySequence(Qt::ALT | Qt::Key_X),
               &MainWindow::RzToolbarButton3Click);
    makeAction(InfoAction, QStringLiteral("InfoAction"), QKeySequence(Qt::Key_F1),
               &MainWindow::RzToolbarButton5Click);

    // The page control's own keys, wherever the focus is in the window.
    const auto stepTab = [this](const QString& name, const QList<QKeySequence>& keys, int step) {
        auto* action = new QAction(this);
        action->setObjectName(name);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [this, step] {
            const int count = RzPageControl1->count();
            RzPageControl1->setCurrentIndex((RzPageControl1->currentIndex() + step + count) % count);
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
    for (QWidget* control : std::initializer_list<QWidget*>{RzLineComboBox1, RzLineEdit1, RzLineEdit2,
                                                            RzCheckBox1, RzToolbarButton1})
        control->setEnabled(!connected);
    ConnectAction->setEnabled(!connected);
    RzToolbarButton2->setEnabled(connected);
    for (QAction* action : {disconnectAction, RefAction, DelAction, FilterAction})
        action->setEnabled(connected);
    for (WindowTab* tab : m_tabs)
        tab->setConnectedState(connected);
}

void MainWindow::FormCreate()
{
    QStringList aliases = serverAliases();
    std::sort(aliases.begin(), aliases.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    RzLineComboBox1->addItems(aliases);
    // Filling the list must not choose an entry: the box stays empty until the settings say.
    RzLineComboBox1->setCurrentIndex(-1);

    if (QFile::exists(LayoutFile)) {
        try {
            processTab->loadColumnLayout(LayoutFile);
        } catch (...) {
            // The window opens all the same, without the caption's version and the stored
            // server and login.
            showErrorDisplay(errorText(std::current_exception()));
            return;
        }
    }

    setWindowTitle(BaseCaption + QStringLiteral(". Версия: ") + GetFileVersionText(ownExecutablePath()));
    RzLineComboBox1->setEditText(ReadIniValue(SettingsFile, QStringLiteral("ServerOption"),
                                              QStringLiteral("ServerName")));
    RzLineEdit1->setText(ReadIniValue(SettingsFile, QStringLiteral("LoginOption"), QStringLiteral("LoginName")));
}

void MainWindow::FormClose()
{
    // A layout that cannot be written must not cost the settings or keep the window open.
    try {
        processTab->saveColumnLayout(LayoutFile);
    } catch (...) {
        showErrorDisplay(errorText(std::current_exception()));
    }

    Query* procSource = processTab->procSource();
    if (procSource->isActive())
        WriteIniValue(SettingsFile, QStringLiteral("SortOption"), QStringLiteral("Sort"), procSource->sort());
    const QString server = RzLineComboBox1->currentText();
    if (!trimmedText(server).isEmpty())
        WriteIniValue(SettingsFile, QStringLiteral("ServerOption"), QStringLiteral("ServerName"), server);
    const QString login = RzLineEdit1->text();
    if (!trimmedText(login).isEmpty())
        WriteIniValue(SettingsFile, QStringLiteral("LoginOption"), QStringLiteral("LoginName"), login);
    for (WindowTab* tab : m_tabs)
        tab->closeAtDisconnect();
    Connect->close();
}

void MainWindow::RzToolbarButton1Click()
{
    m_serverFamily = ServerFamily::Sql70;
    const QString server = RzLineComboBox1->currentText();
    if (trimmedText(server).isEmpty()) {
        showNotice(QStringLiteral("Сообщение"), QStringLiteral("Выберите сервер."), QMessageBox::Warning);
        return;
    }
    const bool windowsAuthentication = RzCheckBox1->isChecked();
    if (trimmedText(RzLineEdit1->text()).isEmpty() && !windowsAuthentication) {
        showNotice(QStringLiteral("Сообщение"), QStringLiteral("Введите логин."), QMessageBox::Warning);
        return;
    }

    Connect->setConnectionString(buildConnectionString({server, RzLineEdit1->text(), RzLineEdit2->text(),
                                                        windowsAuthentication,
                                                        GetFileVersionText(ownExecutablePath())}));
    try {
        Connect->open();
    } catch (...) {
        showNotice(QStringLiteral("Ошибка"),
                   QStringLiteral("Ошибка подключения к серверу ") + server + QStringLiteral(": ")
                       + errorText(std::current_exception()),
                   QMessageBox::Critical);
        RzToolbarButton2Click();
        return;
    }
    if (!Connect->isOpen()) {
        RzToolbarButton2Click();
        return;
    }

    // A failing probe or version query would otherwise leave the connection open behind a
    // window that shows the disconnected state: show the error, then disconnect.
    try {
        const CommandResult probe = Connect->execute(QStringLiteral("Exec xp_msver 'ProductVersion'"));
        if (probe.rowCount() == 0) {
            showNotice(QStringLiteral("Сообщение"),
                       QStringLiteral("Ошибка работы  функции xp_msver. Сервер определен как MS SQL 2000"),
                       QMessageBox::Warning);
            m_serverFamily = ServerFamily::Sql2000;
        } else {
            m_serverFamily = probedServerFamily(probe);
        }
        const CommandResult version = Connect->execute(QStringLiteral("SELECT @@VERSION"));
        if (version.rowCount() > 0)
            RzStatusPane1->setText(versionLine(version.text(0)));
    } catch (...) {
        showErrorDisplay(errorText(std::current_exception()));
        RzToolbarButton2Click();
        return;
    }

    applyState(true);
    for (WindowTab* tab : m_connectOrder)
        tab->openAfterConnect(m_serverFamily);

    try {
        processTab->procSource()->setSort(ReadIniValue(SettingsFile, QStringLiteral("SortOption"),
                                                       QStringLiteral("Sort")));
    } catch (...) {
        // A stored sort string that no longer fits leaves the list in the server's order.
    }
}

void MainWindow::RzToolbarButton2Click()
{
    applyState(false);
    for (WindowTab* tab : m_tabs)
        tab->closeAtDisconnect();
    RzStatusPane1->clear();
    Connect->close();
}

void MainWindow::RzToolbarButton3Click()
{
    close();
}

void MainWindow::RzToolbarButton5Click()
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
    for (WindowTab* tab : m_tabs)
        tab->filterValuesKey();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Every road that closes the window (Exit, Alt+X, the close box, Alt+F4) comes here.
    FormClose();
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
        RzToolbarButton5->move(m_panel->width() - RzToolbarButton5->width() - AboutRightMargin,
                               RzToolbarButton5->y());
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
