// The find dialog over a grid: its look and keys, opening for a grid, search steps through the
// dialog, the no-match message, and what the one dialog keeps between openings.
#include "MessageSeam.h"
#include "Query.h"
#include "FindDialog.h"
#include "WindowInput.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

enum Column { Spid, Hostname, DBName, Blocked };

// A grid as the dialog sees it, over a held process list.
class FakeGrid : public SearchedGrid {
public:
    const GridColumns& columns() const override { return gridColumns; }
    const Query* dataSource() const override { return query; }
    int currentColumn() const override { return current; }
    void moveToCell(int row, int column) override
    {
        query->moveTo(row);
        if (column >= 0)
            current = column;
    }

    GridColumns gridColumns;
    Query* query = nullptr;
    int current = 0;
};

class FindDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        query.setFields({{QStringLiteral("spid"), FieldKind::SmallInt},
                         {QStringLiteral("hostname"), FieldKind::FixedChar, 16},
                         {QStringLiteral("DBName"), FieldKind::WideString, 128},
                         {QStringLiteral("blocked"), FieldKind::SmallInt}});
        query.createDataSet();
        const char* const databases[] = {"tempdb", "Master", "msdb", "master", "model", "MASTER"};
        for (int row = 0; row < 6; ++row)
            query.appendRow({qint16(51 + row), QStringLiteral("HOST%1").arg(row).leftJustified(16),
                             QString::fromUtf8(databases[row]), qint16(0)});
        query.moveTo(2);
        for (const char* field : {"spid", "hostname", "DBName", "blocked"}) {
            GridColumn column;
            column.fieldName = QString::fromUtf8(field);
            grid.gridColumns.push_back(column);
        }
        grid.gridColumns[DBName].title = QStringLiteral("База");
        grid.gridColumns[Blocked].visible = false;
        grid.query = &query;
        grid.current = DBName;
        setMessageHandler([this](const MessageRequest& request) {
            messages.push_back(request);
            return QMessageBox::Ok;
        });
    }
    void TearDown() override { setMessageHandler({}); }

    /// Opens the dialog for the grid as the active window, the text box focused.
    void open(const QString& pattern)
    {
        dialog.openFor(grid, pattern);
        ASSERT_TRUE(showActive(dialog));
    }

    /// The text box's whole text replaced by `pattern`, typed.
    void typePattern(const QString& pattern)
    {
        pressKey(Qt::Key_A, Qt::ControlModifier);
        typeText(pattern);
    }

    void pressEnter(Qt::KeyboardModifiers modifiers = Qt::NoModifier) { pressKey(Qt::Key_Return, modifiers); }

    std::string findInEntries() const
    {
        QStringList entries;
        for (int i = 0; i < dialog.cbFindIn->count(); ++i)
            entries << dialog.cbFindIn->itemText(i);
        return entries.join(u'|').toStdString();
    }

    Query query;
    FakeGrid grid;
    FindDialog dialog{QStringLiteral("Velmora")};
    std::vector<MessageRequest> messages;
};

} // namespace

TEST_F(FindDialogTest, LooksAsDesignedAtTheScreensResolution)
{
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Поиск");
    const double scale = dialog.logicalDpiY() / 120.0;
    const auto scaled = [scale](int left, int top, int width, int height) {
        return QRect(qRound(left * scale), qRound(top * scale), qRound(width * scale), qRound(height * scale));
    };
    EXPECT_EQ(dialog.size(), scaled(0, 0, 622, 153).size());
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());

    const struct { QWidget* control; QRect place; const char* text; } controls[] = {
        {dialog.cbText, scaled(108, 11, 389, 24), ""},
        {dialog.cbFindIn, scaled(108, 39, 237, 24), ""},
        {dialog.cbMatchinType, scaled(108, 68, 178, 24), "С любой части поля"},
        {dialog.cbFindDirection, scaled(108, 97, 178, 24), "Все"},
        {dialog.cbCharCase, scaled(108, 129, 178, 17), "С учетом ре&гистра"},
        {dialog.cbUseFormat, scaled(320, 129, 177, 17), "С у&четом формата"},
        {dialog.bFind, scaled(508, 11, 101, 28), "На&йти далее"},
        {dialog.bCancel, scaled(508, 46, 101, 27), "Закрыть"},
    };
    for (const auto& c : controls) {
        EXPECT_EQ(c.control->geometry(), c.place) << c.control->objectName().toStdString();
        const auto* box = qobject_cast<QComboBox*>(c.control);
        const auto* button = qobject_cast<QAbstractButton*>(c.control);
        EXPECT_EQ((box ? box->currentText() : button->text()).toStdString(), c.text);
    }
    const struct { QLabel* label; QPoint place; const char* text; QWidget* buddy; } labels[] = {
        {dialog.patternLabel, scaled(12, 15, 0, 0).topLeft(), "&Образец:", dialog.cbText},
        {dialog.searchInLabel, scaled(12, 43, 0, 0).topLeft(), "&Поиск в:", dialog.cbFindIn},
        {dialog.matchTypeLabel, scaled(12, 71, 0, 0).topLeft(), "&Совпадение:", dialog.cbMatchinType},
        {dialog.directionLabel, scaled(12, 101, 0, 0).topLeft(), "Прос&мотр:", dialog.cbFindDirection},
    };
    for (const auto& l : labels) {
        EXPECT_EQ(l.label->pos(), l.place);
        EXPECT_EQ(l.label->text().toStdString(), l.text);
        EXPECT_EQ(l.label->buddy(), l.buddy);
    }
    EXPECT_FALSE(dialog.cbCharCase->isChecked());
    EXPECT_TRUE(dialog.cbUseFormat->isChecked());
    EXPECT_TRUE(dialog.cbText->isEditable());
    EXPECT_EQ(dialog.cbText->maxVisibleItems(), 17);
    EXPECT_EQ(dialog.cbFindIn->maxVisibleItems(), 17);
    QStringList kinds, directions;
    for (int i = 0; i < 3; ++i) {
        kinds << dialog.cbMatchinType->itemText(i);
        directions << dialog.cbFindDirection->itemText(i);
    }
    EXPECT_EQ(kinds.join(u'|').toStdString(), "С любой части поля|Поля целиком|С начала поля");
    EXPECT_EQ(directions.join(u'|').toStdString(), "Вверх|Вниз|Все");
}

TEST_F(FindDialogTest, TabOrderAndAccessKeysReachTheControls)
{
    open({});
    EXPECT_EQ(QApplication::focusWidget(), dialog.cbText);

    const QWidget* order[] = {dialog.cbFindIn, dialog.cbMatchinType, dialog.cbFindDirection, dialog.cbCharCase,
                              dialog.cbUseFormat, dialog.bFind, dialog.bCancel};
    for (const QWidget* next : order) {
        pressKey(Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next);
    }
    // Alt and the marked letter: "Прос&мотр:" and "С у&четом формата"
    pressKey(Qt::Key(u'М'), Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), dialog.cbFindDirection);
    pressKey(Qt::Key(u'Ч'), Qt::AltModifier);
    // a button's access key clicks it the way a mouse click shows, so it lands a moment later
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.cbUseFormat->isChecked(); }));
}

TEST_F(FindDialogTest, OpeningListsTheVisibleColumnsAndChoosesTheCurrentOne)
{
    dialog.openFor(grid, QStringLiteral("HOST"));
    EXPECT_EQ(dialog.cbText->currentText().toStdString(), "HOST");
    EXPECT_EQ(findInEntries(), "spid|hostname|База|<All>");   // blocked is hidden
    EXPECT_EQ(dialog.cbFindIn->currentText().toStdString(), "База");
    EXPECT_EQ(dialog.search().searchColumns(), std::vector<int>{DBName});
    EXPECT_TRUE(dialog.search().isFirstTry());

    grid.current = Blocked;   // not listed: all columns
    dialog.openFor(grid, {});
    EXPECT_EQ(dialog.cbFindIn->currentText().toStdString(), "<All>");
    EXPECT_EQ(dialog.search().searchColumns(), (std::vector<int>{Spid, Hostname, DBName}));

    dialog.cbFindDirection->setCurrentIndex(int(FindDirection::Up));
    dialog.cbFindIn->setCurrentIndex(1);
    EXPECT_EQ(dialog.search().searchColumns(), std::vector<int>{Hostname});
    EXPECT_EQ(dialog.search().columnPosition(), 0);
}

TEST_F(FindDialogTest, MasterIsFoundRowAfterRowUntilTheMessageLeavesTheGridOnTheLastMatch)
{
    grid.current = Spid;
    open({});
    dialog.cbFindIn->setCurrentIndex(dialog.cbFindIn->count() - 1);   // <All>
    dialog.cbMatchinType->setCurrentIndex(int(FindMatchType::WholeField));
    typePattern(QStringLiteral("master"));
    const std::pair<int, int> steps[] = {{1, DBName}, {3, DBName}, {5, DBName}};
    for (const auto& [row, column] : steps) {
        pressEnter();
        EXPECT_EQ(query.recNo(), row);
        EXPECT_EQ(grid.current, column);   // case ignored: the matching column becomes current
    }
    EXPECT_TRUE(messages.empty());
    pressEnter();
    EXPECT_EQ(query.recNo(), 5);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption.toStdString(), "Velmora");
    EXPECT_EQ(messages[0].text.toStdString(), "Строка \"master\" не найдена.");
    EXPECT_EQ(messages[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(messages[0].buttons, QMessageBox::Ok);

    // with case: only the lower-case row, and the current column stays
    grid.current = Spid;
    dialog.cbCharCase->setChecked(true);
    typePattern(QStringLiteral("master"));   // typed anew: a first try
    pressEnter();
    EXPECT_EQ(query.recNo(), 3);
    EXPECT_EQ(grid.current, Spid);
}

TEST_F(FindDialogTest, CtrlReversesTheDirectionAndANewMatchTypeGoesOnFromTheLastMatch)
{
    open(QStringLiteral("master"));
    dialog.cbFindDirection->setCurrentIndex(int(FindDirection::Down));
    dialog.cbMatchinType->setCurrentIndex(int(FindMatchType::WholeField));
    pressEnter();                          // down from row 2
    EXPECT_EQ(query.recNo(), 3);
    pressEnter(Qt::ControlModifier);       // back up
    EXPECT_EQ(query.recNo(), 1);

    dialog.cbMatchinType->setCurrentIndex(int(FindMatchType::Beginning));   // restarts nothing
    dialog.cbCharCase->setChecked(true);
    click(*dialog.bFind);
    EXPECT_EQ(query.recNo(), 3);
    dialog.cbCharCase->setChecked(false);
    click(*dialog.bFind, dialog.bFind->rect().center(), Qt::LeftButton, Qt::ControlModifier);   // up, not down to row 5
    EXPECT_EQ(query.recNo(), 1);
    EXPECT_TRUE(messages.empty());
}

TEST_F(FindDialogTest, TheOneDialogKeepsItsListAndChoicesBetweenOpenings)
{
    open(QStringLiteral("tempdb"));
    pressEnter();
    pressEnter();   // searched twice, listed once
    typePattern(QStringLiteral("msdb"));
    pressEnter();
    dialog.cbMatchinType->setCurrentIndex(int(FindMatchType::Beginning));
    dialog.cbFindDirection->setCurrentIndex(int(FindDirection::Up));
    dialog.cbCharCase->setChecked(true);
    dialog.cbUseFormat->setChecked(false);

    grid.current = Hostname;
    dialog.openFor(grid, {});
    QStringList history;
    for (int i = 0; i < dialog.cbText->count(); ++i)
        history << dialog.cbText->itemText(i);
    EXPECT_EQ(history.join(u'|').toStdString(), "tempdb|msdb");
    EXPECT_EQ(dialog.cbText->currentText().toStdString(), "");
    EXPECT_EQ(dialog.cbMatchinType->currentIndex(), int(FindMatchType::Beginning));
    EXPECT_EQ(dialog.cbFindDirection->currentIndex(), int(FindDirection::Up));
    EXPECT_TRUE(dialog.cbCharCase->isChecked());
    EXPECT_FALSE(dialog.cbUseFormat->isChecked());
    EXPECT_EQ(dialog.cbFindIn->currentText().toStdString(), "hostname");
    EXPECT_TRUE(dialog.search().isFirstTry());
}

TEST_F(FindDialogTest, RunsModallyAndEscCloses)
{
    bool closedByEsc = false;
    QTimer::singleShot(0, &dialog, [&] {
        ASSERT_TRUE(showActive(dialog));
        typePattern(QStringLiteral("model"));
        dialog.cbMatchinType->setCurrentIndex(int(FindMatchType::WholeField));
        pressEnter();
        pressKey(Qt::Key_Escape);
        closedByEsc = !dialog.isVisible();
    });
    dialog.execFor(grid, {});
    EXPECT_TRUE(closedByEsc);
    EXPECT_EQ(query.recNo(), 4);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}
