#include "LogTab.h"

#include "ButtonIcons.h"
#include "ColouredCheckBox.h"
#include "EdgeGroupBox.h"
#include "FieldMemo.h"
#include "GridSetup.h"
#include "GuardedHandler.h"
#include "LogBrowser.h"
#include "Query.h"
#include "TabToolBar.h"
#include "TahomaFont.h"

#include <QGroupBox>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

namespace velmora {

namespace {

constexpr int LeftPaneWidth = 196;
constexpr int SplitterBarWidth = 4;
constexpr int LastEntryBoxHeight = 128;
constexpr int CurrentEntryBoxHeight = 78;
const QColor ContinuationBackground(255, 231, 230);
const QColor LineBackground(203, 221, 254);

const QString LogCaption = QStringLiteral("Лог");

QFont tabFont()
{
    return tahomaFont(8);
}

template <typename Box = QGroupBox>
QGroupBox* makeGroupBox(QWidget* parent, const QString& name, const QString& caption)
{
    auto* box = new Box(caption, parent);
    box->setObjectName(name);
    box->setFont(tabFont());
    return box;
}

FieldMemo* makeMemo(Query* source, const QString& name, QWidget* parent)
{
    auto* memo = new FieldMemo(source, QStringLiteral("Info"), parent);
    memo->setObjectName(name);
    return memo;
}

// Both panes: `top` fills the box above `bottom`, which holds `bottomContent`.
void stack(QGroupBox* box, QWidget* top, QGroupBox* bottom, QWidget* bottomContent, int bottomHeight)
{
    auto* bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(2, 2, 2, 2);
    bottomLayout->addWidget(bottomContent);
    bottom->setFixedHeight(bottomHeight);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);
    layout->addWidget(top, 1);
    layout->addWidget(bottom);
}

} // namespace

LogTab::LogTab(Connection* connection, QWidget* parent)
    : WindowTab(parent)
    , m_browser(new LogBrowser(connection, this))
{
    connect(m_browser->archives(), &Query::afterScroll, this, guarded([this] { m_browser->currentArchiveChanged(); }));

    auto* toolBar = new TabToolBar(QStringLiteral("logToolBar"), this, Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge);
    m_refreshButton = toolBar->addButton(QStringLiteral("logRefreshButton"), 4, buttonIcon(ButtonPicture::Refresh),
                                         QStringLiteral("Обновить (F5)"));
    toolBar->addSeparator(QStringLiteral("logToolBarSeparator"), 29, 4);
    m_withoutSourceCheckBox = new ColouredCheckBox(QStringLiteral("Показывать записи без источника"), QColor(28, 81, 128),
                                                   QColor(33, 161, 33), QColor(255, 199, 60), toolBar);
    m_withoutSourceCheckBox->setObjectName(QStringLiteral("withoutSourceCheckBox"));
    m_withoutSourceCheckBox->setFont(tabFont());
    m_withoutSourceCheckBox->setGeometry(33, 6, 197, 17);
    m_withoutSourceCheckBox->setChecked(true);
    connect(m_refreshButton, &QToolButton::clicked, this, guarded(this, &LogTab::refresh));
    connect(m_withoutSourceCheckBox, &QCheckBox::toggled, this,
            guarded([this](bool checked) { m_browser->setShowWithoutSource(checked); }));

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("logSplitter"));
    splitter->setHandleWidth(SplitterBarWidth);
    splitter->setChildrenCollapsible(false);
    buildLeftPane(splitter);
    buildRightPane(splitter);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({LeftPaneWidth, 959 - LeftPaneWidth - SplitterBarWidth});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar);
    layout->addWidget(splitter, 1);

    setConnectedState(false);
}

LogTab::~LogTab() = default;

void LogTab::buildLeftPane(QSplitter* splitter)
{
    QGroupBox* archivesBox = makeGroupBox(splitter, QStringLiteral("archivesBox"), QStringLiteral("Существующие логи"));
    m_archiveGrid = makeGrid(archivesBox, {.name = "archiveGrid", .source = m_browser->archives(),
                                           .columns = columnTable({{"Archive #", 52, nullptr, true, Qt::AlignLeft},
                                                                   {"Date", 109, nullptr, true, Qt::AlignLeft}})});
    m_archiveGrid->onKeyPress = [this](QChar& key) { archiveGridKeyPress(key); };
    m_archiveGrid->onDblClick = [this] { refresh(); };
    QGroupBox* lastEntryBox =
        makeGroupBox<EdgeGroupBox>(archivesBox, QStringLiteral("lastEntryBox"), QStringLiteral("Последняя запись"));
    stack(archivesBox, m_archiveGrid, lastEntryBox,
          makeMemo(m_browser->lastEntry(), QStringLiteral("lastEntryMemo"), lastEntryBox), LastEntryBoxHeight);
    splitter->addWidget(archivesBox);
}

void LogTab::buildRightPane(QSplitter* splitter)
{
    m_entriesBox = makeGroupBox(splitter, QStringLiteral("entriesBox"), LogCaption);
    GridOptions options = GridSetup::listOptions();
    options.indicator = false;
    GridBehaviourOptions behaviour;
    behaviour.autoSortMarking = true;
    m_entryGrid = makeGrid(m_entriesBox,
                           {.name = "entryGrid", .source = m_browser->entries(),
                            .columns = columnTable({{"id", 32, "#"}, {"Dates", -1, "Дата"}, {"spid", 71, "Источник"},
                                                    {"Info", 518, "Сообщение"}},
                                                   true),
                            .options = options, .behaviour = behaviour});
    m_entryGrid->onGetCellParams = [this](const GridColumn& column, const RowView& row, QFont& font,
                                          QColor& background, QColor& text) {
        entryCellParams(column, row, font, background, text);
    };
    QGroupBox* currentEntryBox = makeGroupBox(m_entriesBox, QStringLiteral("currentEntryBox"), QStringLiteral("Текущая запись"));
    stack(m_entriesBox, m_entryGrid, currentEntryBox,
          makeMemo(m_browser->entries(), QStringLiteral("currentEntryMemo"), currentEntryBox), CurrentEntryBoxHeight);
    splitter->addWidget(m_entriesBox);
}

QString LogTab::caption() const
{
    return QStringLiteral("Логи");
}

void LogTab::setConnectedState(bool connected)
{
    // The check box stays usable in both states: a change waits for the next refresh.
    m_refreshButton->setEnabled(connected);
}

void LogTab::openAfterConnect(ServerFamily family)
{
    m_browser->openAfterConnect(family);
}

void LogTab::closeAtDisconnect()
{
    m_browser->closeAll();
}

void LogTab::refreshKey()
{
    refresh();
}

void LogTab::refresh()
{
    if (const std::optional<int> archive = m_browser->loadEntries())
        m_entriesBox->setTitle(LogCaption + QStringLiteral(" №") + QString::number(*archive));
}

void LogTab::archiveGridKeyPress(QChar& key)
{
    if (key != QChar(u'\r'))
        return;
    key = QChar();
    refresh();
}

void LogTab::entryCellParams(const GridColumn&, const RowView& row, QFont&, QColor& background, QColor& text)
{
    // A null flag counts as 0, which toInt() gives for it.
    background = row.value(QStringLiteral("i")).toInt() != 0 ? ContinuationBackground : LineBackground;
    text = Qt::black;
}

} // namespace velmora
