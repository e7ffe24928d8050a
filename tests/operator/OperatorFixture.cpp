#include "OperatorFixture.h"

#include "FilterRow.h"
#include "ProcessTab.h"
#include "Query.h"
#include "ResultGrid.h"
#include "WindowParts.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <X11/keysym.h>

using namespace velmora;
using velmora::testing::part;

namespace {

constexpr int WatchIntervalMs = 20;
constexpr int ActivationTicks = 500;   // ten seconds for the window manager to activate and place a window

QString describe(const QWidget& window)
{
    QString text = QStringLiteral("\"%1\" (%2)").arg(window.windowTitle(), window.metaObject()->className());
    if (const auto* box = qobject_cast<const QMessageBox*>(&window))
        text += QStringLiteral(": ") + box->text();
    return text;
}

void closeWindow(QWidget& window)
{
    if (auto* dialog = qobject_cast<QDialog*>(&window))
        dialog->reject();
    else
        window.close();
}

} // namespace

void OperatorTest::SetUp()
{
    QObject::connect(&m_watch, &QTimer::timeout, [this] { watchWindows(); });
    m_watch.start(WatchIntervalMs);

    window = std::make_unique<MainWindow>();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get(), 10000)) << "the window manager did not activate the window";
    ASSERT_TRUE(waitUntil([this] { return desk.isPlaced(*window); })) << "the window manager did not place the window";

    const auto fill = [this](QWidget& box, const QString& text) {
        desk.click(box, box.rect().center());
        desk.key(XK_a, Qt::ControlModifier);
        desk.type(text);
    };
    fill(*part<QComboBox>(*window, "serverBox"), QStringLiteral("127.0.0.1,%1").arg(sim.port()));
    fill(*part<QLineEdit>(*window, "loginBox"), QStringLiteral("sa"));
    fill(*part<QLineEdit>(*window, "passwordBox"), QStringLiteral("velmora"));
    desk.click(*part<QToolButton>(*window, "connectButton"), part<QToolButton>(*window, "connectButton")->rect().center());
    ASSERT_TRUE(waitUntil([this] { return processList().isActive(); })) << "no connection";
}

void OperatorTest::TearDown()
{
    if (window && window->isVisible())
        window->close();
    window.reset();
    m_watch.stop();
    EXPECT_FALSE(m_expected) << "an expected window never opened";
}

void OperatorTest::watchWindows()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (m_handling || !modal) {
        m_inactiveTicks = 0;
        return;
    }
    QPointer<QWidget> shown = modal;
    // Input goes to a window once the window manager has activated it and put it where the
    // program asked (a window may move itself when first shown).
    const bool ready = modal->isActiveWindow() && desk.isPlaced(*modal);
    if (!ready && ++m_inactiveTicks < ActivationTicks)
        return;
    m_inactiveTicks = 0;
    m_handling = true;
    if (!ready) {
        ADD_FAILURE() << "the window manager did not activate and place " << describe(*modal).toStdString();
        closeWindow(*modal);
    } else if (const auto expected = std::exchange(m_expected, nullptr); expected && expected(*modal)) {
        m_handled = true;
    } else {
        m_expected = expected;
        ADD_FAILURE() << "a window opened unasked: " << describe(*modal).toStdString();
        closeWindow(*modal);
    }
    if (shown && !waitUntil([&] { return !shown || !shown->isVisible(); })) {
        ADD_FAILURE() << describe(*shown).toStdString() << " stayed open";
        closeWindow(*shown);
    }
    m_handling = false;
}

bool OperatorTest::expectedWindowHandled()
{
    return waitUntil([this] { return m_handled && !m_handling && !QApplication::activeModalWidget(); });
}

ResultGrid& OperatorTest::processGrid() const
{
    return *velmora::testing::part<ResultGrid>(*window, "processGrid");
}

Query& OperatorTest::processList() const
{
    return *part<ProcessTab>(*window, "processTab")->procSource();
}

QPoint OperatorTest::titleCentre(const ResultGrid& grid, const QString& field)
{
    const QHeaderView& titles = *grid.horizontalHeader();
    const int column = grid.columnIndex(field);
    return QPoint(titles.sectionViewportPosition(column) + titles.sectionSize(column) / 2,
                  titles.fontMetrics().height() / 2 + 2);
}

QPoint OperatorTest::cellCentre(const ResultGrid& grid, int row, const QString& field)
{
    return grid.visualRect(grid.model()->index(row, grid.columnIndex(field))).center();
}

QPoint OperatorTest::filterCellCentre(const QString& field) const
{
    const FilterRow& row = *processGrid().filterRow();
    const int column = processGrid().columnIndex(field);
    return QPoint(row.sectionViewportPosition(column) + row.sectionSize(column) / 2,
                  row.viewport()->height() - row.rowHeight() / 2);
}

QString OperatorTest::cellText(const ResultGrid& grid, int row, const QString& field)
{
    return grid.model()->index(row, grid.columnIndex(field)).data().toString().trimmed();
}

int OperatorTest::rowOfSpid(int spid) const
{
    const ResultGrid& grid = processGrid();
    for (int row = 0; row < grid.model()->rowCount(); ++row)
        if (cellText(grid, row, QStringLiteral("spid")).toInt() == spid)
            return row;
    return -1;
}
