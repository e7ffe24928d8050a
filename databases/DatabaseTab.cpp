#include "DatabaseTab.h"

#include "ButtonIcons.h"
#include "DatabaseGridColumns.h"
#include "DatabaseInspector.h"
#include "ErrorDisplay.h"
#include "GridSetup.h"
#include "GuardedHandler.h"
#include "MessageSeam.h"
#include "PercentBar.h"
#include "TabToolBar.h"
#include "TahomaFont.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

namespace velmora {

namespace {

constexpr int leftPaneWidth = 196;
constexpr int splitterBarWidth = 4;
constexpr int informationHeight = 266;
// The two top grids of "Информация" start below its caption and, with their separators, end
// where the fixed controls begin (y 104).
constexpr int informationTop = 16;
constexpr int informationMargin = 2;
constexpr int separatorHeight = 2;

QFont tahoma(bool bold = false)
{
    return tahomaFont(8, bold);
}

// An information grid: a title row and one data row (two for the files), no scroll bars.
ResultGrid* makeInformationGrid(QWidget* parent, const char* name, Query* source, GridColumns columns)
{
    GridOptions options;
    options.indicator = false;
    options.rowSelect = false;
    ResultGrid* grid = makeGrid(parent, {.name = name, .source = source, .columns = std::move(columns),
                                         .options = options, .sortLocal = false});
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return grid;
}

QGroupBox* makeGroupBox(QWidget* parent, const char* name, const QString& caption)
{
    auto* box = new QGroupBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setFont(tahoma(true));
    return box;
}

QFrame* makeSeparator(QWidget* parent, const char* name)
{
    auto* line = new QFrame(parent);
    line->setObjectName(QString::fromLatin1(name));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

// A label in bold; the two texts that show figures are navy besides.
QLabel* makeLabel(QWidget* parent, const char* name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(tahoma(true));
    return label;
}

PercentBar* makePercentBar(QWidget* parent, const char* name)
{
    auto* bar = new PercentBar(parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setFont(tahoma());
    return bar;
}

} // namespace

DatabaseTab::DatabaseTab(Connection* connection, QWidget* parent)
    : WindowTab(parent)
    , m_inspector(new DatabaseInspector(connection, this))
{
    auto* toolBar = new TabToolBar(QStringLiteral("databaseToolBar"), this, Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge);
    m_refreshButton = toolBar->addButton(QStringLiteral("databaseRefreshButton"), 4, buttonIcon(ButtonPicture::Refresh),
                                         QStringLiteral("Обновить (F5)"));
    connect(m_refreshButton, &QToolButton::clicked, this, guarded(this, &DatabaseTab::refresh));

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("databaseSplitter"));
    splitter->setHandleWidth(splitterBarWidth);
    splitter->setChildrenCollapsible(false);

    QGroupBox* listBox = makeGroupBox(splitter, "databaseListBox", QStringLiteral("Базы"));
    GridOptions listOptions = GridSetup::listOptions();
    listOptions.titles = false;
    listOptions.indicator = false;
    m_databaseListGrid = makeGrid(listBox, {.name = "databaseListGrid", .source = m_inspector->databaseList(),
                                            .columns = databaseListColumns(), .options = listOptions, .sortLocal = false});
    m_databaseListGrid->onKeyPress = [this](QChar& key) { databaseListKeyPress(key); };
    m_databaseListGrid->onDblClick = [this] { refresh(); };
    auto* listLayout = new QVBoxLayout(listBox);
    listLayout->setContentsMargins(2, 2, 2, 2);
    listLayout->addWidget(m_databaseListGrid);

    auto* informationPane = new QWidget(splitter);
    informationPane->setObjectName(QStringLiteral("informationPane"));
    auto* paneLayout = new QVBoxLayout(informationPane);
    paneLayout->setContentsMargins(0, 0, 0, 0);
    paneLayout->setSpacing(0);
    paneLayout->addWidget(buildInformation());

    QGroupBox* usersBox = makeGroupBox(informationPane, "usersBox", QStringLiteral("Пользователи"));
    GridBehaviourOptions userBehaviour;
    userBehaviour.autoSortMarking = true;
    userBehaviour.multiSortMarking = true;
    m_userGrid = makeGrid(usersBox, {.name = "userGrid", .source = m_inspector->users(), .columns = userColumns(),
                                     .options = GridOptions{}, .behaviour = userBehaviour, .sortLocal = false});
    m_userGrid->onSortMarkingChanged = [this] { userSortMarkingChanged(); };
    auto* usersLayout = new QVBoxLayout(usersBox);
    usersLayout->setContentsMargins(2, 2, 2, 2);
    usersLayout->addWidget(m_userGrid);
    paneLayout->addWidget(usersBox, 1);

    splitter->addWidget(listBox);
    splitter->addWidget(informationPane);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({leftPaneWidth, 757});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar);
    layout->addWidget(splitter, 1);

    connect(m_inspector, &DatabaseInspector::sizesChanged, this, &DatabaseTab::showSizes);
    setConnectedState(false);
}

DatabaseTab::~DatabaseTab() = default;

QWidget* DatabaseTab::buildInformation()
{
    m_informationBox = makeGroupBox(nullptr, "informationBox", QStringLiteral("Информация"));
    m_informationBox->setFixedHeight(informationHeight);
    m_informationBox->installEventFilter(this);

    // Everything inside sits at the group box's own coordinates: the two top grids and their
    // separators span its width (placed at each resize), the rest keeps its place.
    m_propertiesGrid = makeInformationGrid(m_informationBox, "propertiesGrid", m_inspector->properties(),
                                           propertiesColumns());
    m_propertiesSeparator = makeSeparator(m_informationBox, "propertiesSeparator");
    m_filesGrid = makeInformationGrid(m_informationBox, "filesGrid", m_inspector->files(), filesColumns());
    m_filesSeparator = makeSeparator(m_informationBox, "filesSeparator");

    const auto place = [](QWidget* widget, int x, int y, int width, int height) {
        widget->setGeometry(x, y, width, height);
    };
    place(makeLabel(m_informationBox, "dataSizeLabel", QStringLiteral("Data (MB):")), 3, 104, 60, 13);
    m_dataSizeText = makeLabel(m_informationBox, "dataSizeText", QString());
    place(m_dataSizeText, 67, 104, 0, 13);
    m_dataSpaceBar = makePercentBar(m_informationBox, "dataSpaceBar");
    place(m_dataSpaceBar, 3, 120, 200, 24);
    place(makeInformationGrid(m_informationBox, "spaceUsedGrid", m_inspector->spaceUsed(), spaceUsedColumns()), 4,
          148, 544, 34);
    place(makeLabel(m_informationBox, "logSizeLabel", QStringLiteral("Log (MB):")), 3, 185, 52, 13);
    m_logSizeText = makeLabel(m_informationBox, "logSizeText", QString());
    place(m_logSizeText, 67, 185, 0, 13);
    m_logSpaceBar = makePercentBar(m_informationBox, "logSpaceBar");
    place(m_logSpaceBar, 3, 201, 200, 24);
    place(makeInformationGrid(m_informationBox, "logSpaceGrid", m_inspector->logSpace(), logSpaceColumns()), 4, 229,
          296, 34);

    for (QLabel* text : {m_dataSizeText, m_logSizeText}) {
        QPalette palette = text->palette();
        palette.setColor(QPalette::WindowText, QColor(0, 0, 128));
        text->setPalette(palette);
    }
    placeTopRows();
    return m_informationBox;
}

void DatabaseTab::placeTopRows()
{
    const int width = m_informationBox->width() - 2 * informationMargin;
    int y = informationTop;
    for (auto [widget, height] : {std::pair<QWidget*, int>{m_propertiesGrid, 34}, {m_propertiesSeparator, separatorHeight},
                                  {m_filesGrid, 50}, {m_filesSeparator, separatorHeight}}) {
        widget->setGeometry(informationMargin, y, width, height);
        y += height;
    }
}

bool DatabaseTab::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_informationBox && event->type() == QEvent::Resize)
        placeTopRows();
    return WindowTab::eventFilter(watched, event);
}

QString DatabaseTab::caption() const
{
    return QStringLiteral("Базы");
}

void DatabaseTab::setConnectedState(bool connected)
{
    m_refreshButton->setEnabled(connected);
}

void DatabaseTab::openAfterConnect(ServerFamily)
{
    m_inspector->openDatabaseList();
}

void DatabaseTab::closeAtDisconnect()
{
    m_inspector->closeAll();
    m_dataSpaceBar->setValue(0);
    m_logSpaceBar->setValue(0);
}

void DatabaseTab::refreshKey()
{
    refresh();
}

void DatabaseTab::refresh()
{
    const DatabaseInspector::RefreshResult result = m_inspector->refresh();
    if (result == DatabaseInspector::RefreshResult::NoDatabase)
        return;
    if (result == DatabaseInspector::RefreshResult::SpaceUsedOrUsersFailed) {
        MessageRequest message;
        message.caption = programTitle(QCoreApplication::applicationFilePath());
        message.text = QStringLiteral("Время ожидания истекло.");
        showMessage(message);
    }
    m_logSpaceBar->setValue(m_inspector->logSpacePercent());
    m_dataSpaceBar->setValue(m_inspector->dataSpacePercent());
}

void DatabaseTab::userSortMarkingChanged()
{
    m_inspector->sortUsers(m_userGrid->columns(), m_userGrid->sortMarkedColumns());
}

void DatabaseTab::databaseListKeyPress(QChar& key)
{
    if (key != QChar(u'\r'))
        return;
    key = QChar();
    refresh();
}

void DatabaseTab::showSizes()
{
    m_dataSizeText->setText(m_inspector->dataSizeText());
    m_dataSizeText->adjustSize();
    m_logSizeText->setText(m_inspector->logSizeText());
    m_logSizeText->adjustSize();
}

} // namespace velmora
