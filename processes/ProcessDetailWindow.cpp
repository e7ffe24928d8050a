#include "ProcessDetailWindow.h"

#include "ButtonIcons.h"
#include "ClassicFrame.h"
#include "Connection.h"
#include "DbError.h"
#include "GuardedHandler.h"
#include "LockQueries.h"
#include "MessageSeam.h"
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
#include <QScopeGuard>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>
#include <memory>
#include <stdexcept>
#include <utility>

namespace velmora {

namespace {

const QString windowCaption = QStringLiteral("Информация по процессу");

// A failed name look-up, told apart from a failure of the lock query itself: a refresh reports
// the latter as a failed refresh and lets the former go on to the general error display.
class LookupError : public std::runtime_error {
public:
    explicit LookupError(const DbError& error) : std::runtime_error(error.text().toStdString()) {}
};

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
{
    setObjectName(QStringLiteral("ProcessDetailWindow"));
    setWindowTitle(windowCaption);
    setFont(tahomaFont(8));
    setModal(true);
    resize(classicClientSize({824, 412}));

    LockQuery = new Query(this);
    LockQuery->setObjectName(QStringLiteral("LockQuery"));
    LockQuery->setFields(lockFields());
    LockQuery->onCalcFields = [this](Query& query) { LockQueryCalcFields(query); };
    InfoQuery = new Query(this);
    InfoQuery->setObjectName(QStringLiteral("InfoQuery"));
    InfoQuery->setFields(inputBufferFields());

    RzToolbar1 = new TabToolBar(QStringLiteral("RzToolbar1"), this,
                                Qt::LeftEdge | Qt::RightEdge | Qt::TopEdge | Qt::BottomEdge);
    Refresh = RzToolbar1->addButton(QStringLiteral("Refresh"), 4, buttonIcon(ButtonPicture::Refresh),
                                    QStringLiteral("Обновить"));
    RzToolbar1->addSeparator(QStringLiteral("RzSpacer1"), 29, 8);
    Exit = RzToolbar1->addButton(QStringLiteral("Exit"), 37, buttonIcon(ButtonPicture::Exit),
                                 QStringLiteral("Выход"));
    connect(Refresh, &QToolButton::clicked, this, guarded(this, &ProcessDetailWindow::RefreshClick));
    connect(Exit, &QToolButton::clicked, this, guarded(this, &ProcessDetailWindow::ExitClick));

    RzGroupBox1 = new QGroupBox(QStringLiteral("Блокировки процесса"), this);
    RzGroupBox1->setObjectName(QStringLiteral("RzGroupBox1"));
    DBGridEh1 = new ResultGrid(RzGroupBox1);
    DBGridEh1->setObjectName(QStringLiteral("DBGridEh1"));
    DBGridEh1->setFonts(tahomaFont(8));
    GridOptions options;
    options.editing = false;
    options.rowSelect = true;
    DBGridEh1->setOptions(options);
    GridBehaviourOptions behaviourOptions;
    behaviourOptions.autoSortMarking = true;
    DBGridEh1->setBehaviourOptions(behaviourOptions);
    DBGridEh1->sortLocal = true;
    DBGridEh1->setColumns(lockGridColumns());
    DBGridEh1->setDataSource(LockQuery);
    auto* locksLayout = new QVBoxLayout(RzGroupBox1);
    locksLayout->setContentsMargins(2, 2, 2, 2);
    locksLayout->addWidget(DBGridEh1);

    RzGroupBox2 = buildInfoBox();
    connect(InfoQuery, &Query::afterScroll, this, &ProcessDetailWindow::showInputBuffer);
    connect(InfoQuery, &Query::afterClose, this, &ProcessDetailWindow::showInputBuffer);

    RefAction = new QAction(this);
    RefAction->setObjectName(QStringLiteral("RefAction"));
    RefAction->setShortcut(Qt::Key_F5);
    RefAction->setShortcutContext(Qt::WindowShortcut);
    connect(RefAction, &QAction::triggered, this, guarded(this, &ProcessDetailWindow::RefreshClick));
    addAction(RefAction);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(RzToolbar1);
    layout->addWidget(RzGroupBox1, 1);
    layout->addWidget(RzGroupBox2);
}

ProcessDetailWindow::~ProcessDetailWindow() = default;

QGroupBox* ProcessDetailWindow::buildInfoBox()
{
    auto* box = new QGroupBox(windowCaption, this);
    box->setObjectName(QStringLiteral("RzGroupBox2"));
    box->setFixedHeight(126);

    auto* strip = new QWidget(box);
    strip->setFixedHeight(23);
    QLabel* eventType = boldLabel(QStringLiteral("Event Type:"), strip);
    eventType->move(3, 4);
    EventTypeEdit = new QLineEdit(strip);
    EventTypeEdit->setObjectName(QStringLiteral("EventTypeEdit"));
    EventTypeEdit->setReadOnly(true);
    EventTypeEdit->setGeometry(71, 1, 257, 21);
    QLabel* parameters = boldLabel(QStringLiteral("Parameters:"), strip);
    parameters->move(331, 4);
    ParametersEdit = new QLineEdit(strip);
    ParametersEdit->setObjectName(QStringLiteral("ParametersEdit"));
    ParametersEdit->setReadOnly(true);
    ParametersEdit->setGeometry(404, 1, 109, 21);

    EventInfoMemo = new QPlainTextEdit(box);
    EventInfoMemo->setObjectName(QStringLiteral("EventInfoMemo"));
    EventInfoMemo->setReadOnly(true);
    EventInfoMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);
    layout->addWidget(strip);
    layout->addWidget(boldLabel(QStringLiteral(" Event Info:"), box));
    layout->addWidget(EventInfoMemo, 1);
    return box;
}

void ProcessDetailWindow::showModalFor(QWidget* owner, Connection* connection, const QString& spid)
{
    auto window = std::make_unique<ProcessDetailWindow>(owner);
    window->openQueries(connection, spid);
    window->exec();
}

void ProcessDetailWindow::openQueries(Connection* connection, const QString& spid)
{
    LockQuery->setConnection(connection);
    LockQuery->setSql(lockBatch(spid));
    LockQuery->open();
    InfoQuery->setConnection(connection);
    InfoQuery->setSql(inputBufferBatch(spid));
    setWindowTitle(windowTitle() + QLatin1Char(' ') + spid);
    try {
        InfoQuery->open();
    } catch (const DbError&) {
        // The server may refuse the input buffer (permissions); the locks are still worth showing.
    }
}

void ProcessDetailWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    runGuarded([this] { FormShow(); });
}

void ProcessDetailWindow::FormShow()
{
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
    DBGridEh1->setSortMarker(DBGridEh1->columnIndex(QStringLiteral("dbid")), SortMarker::Down);
    sortAndGoFirst();
}

void ProcessDetailWindow::sortAndGoFirst()
{
    if (!LockQuery->isActive())
        return;
    // Called right after the rows were fetched, their names looked up as they came: ordering them
    // by a server column (the names cannot be sorted by) must not send every look-up again.
    const auto lookUps = std::exchange(LockQuery->onCalcFields, nullptr);
    const auto restore = qScopeGuard([&] { LockQuery->onCalcFields = lookUps; });
    ApplyLocalSort(*DBGridEh1, *LockQuery);
    LockQuery->first();
}

void ProcessDetailWindow::LockQueryCalcFields(Query& query)
{
    // Looked up row by row with nothing kept between rows: the names are whatever the server
    // answers at this moment, the object's in the connection's current database.
    const auto lookup = [&query](const QString& text) {
        try {
            const CommandResult result = query.connection()->execute(text);
            return result.rowCount() > 0 ? result.text(0).left(lockNameLength) : QString();
        } catch (const DbError& error) {
            throw LookupError(error);
        }
    };
    const QString objectName = lookup(objectNameLookup(query.value(QStringLiteral("ObjId")).toString()));
    query.setValue(query.fieldIndex(QStringLiteral("OName")), objectName);
    const QString databaseName = lookup(databaseNameLookup(query.value(QStringLiteral("dbid")).toString()));
    query.setValue(query.fieldIndex(QStringLiteral("DBName")), databaseName);
}

void ProcessDetailWindow::RefreshClick()
{
    const auto refreshFailed = [] {
        MessageRequest message;
        message.caption = QStringLiteral("Сообщение");
        message.text = QStringLiteral("Ошибка при обновлении данных.");
        message.icon = QMessageBox::Critical;
        showMessage(message);
    };
    try {
        LockQuery->close();
        LockQuery->open();
    } catch (const DbError&) {
        refreshFailed();
        return;
    }
    // The sort marks stay on their titles, so the new rows take the order they show.
    sortAndGoFirst();
    // The input buffer is re-run only as the result it is: one the server refused at opening
    // was never there to re-run, and its refresh fails like any other.
    if (!InfoQuery->isActive()) {
        refreshFailed();
        return;
    }
    try {
        InfoQuery->close();
        InfoQuery->open();
    } catch (const DbError&) {
        refreshFailed();
    }
}

void ProcessDetailWindow::ExitClick()
{
    close();
}

void ProcessDetailWindow::showInputBuffer()
{
    const bool hasRow = InfoQuery->isActive() && InfoQuery->recNo() >= 0;
    const auto text = [&](const char* field) {
        return hasRow ? InfoQuery->value(QString::fromLatin1(field)).toString() : QString();
    };
    EventTypeEdit->setText(text("EventType"));
    ParametersEdit->setText(text("Parameters"));
    EventInfoMemo->setPlainText(text("EventInfo"));
}

} // namespace velmora
