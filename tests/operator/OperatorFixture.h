// What every operator smoke test starts from: a seeded sqlsim, the real main window shown on the
// suite's X display and logged in by typing, and a watch over the windows that open on top of it.
#pragma once

#include "MainWindow.h"
#include "MainWindowTestSupport.h"
#include "OperatorDesk.h"
#include "SimFixture.h"

#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>

namespace velmora {
class Query;
class ResultGrid;
}

class OperatorTest : public ::testing::Test {
public:
    /// The centre of the title of `field`'s column, in the grid's title row.
    static QPoint titleCentre(const velmora::ResultGrid& grid, const QString& field);
    /// The centre of the cell of `row` in `field`'s column, in the grid's viewport.
    static QPoint cellCentre(const velmora::ResultGrid& grid, int row, const QString& field);
    /// The text the grid shows in `row` of `field`'s column, trimmed.
    static QString cellText(const velmora::ResultGrid& grid, int row, const QString& field);

protected:
    /// Shows the window, waits until it is active, and logs in as sa by typing the server, the
    /// login and the password into their boxes and clicking Connect.
    void SetUp() override;
    void TearDown() override;

    /// Hands the next modal window of class `Window` to `handle` once it is active; `handle`
    /// closes it by input. Any other window that opens is a failure and is closed.
    template <class Window>
    void expectWindow(std::function<void(Window&)> handle)
    {
        m_handled = false;
        m_expected = [handle](QWidget& shown) {
            auto* window = qobject_cast<Window*>(&shown);
            if (window)
                handle(*window);
            return window != nullptr;
        };
    }
    /// Waits until the window expected came, was handled and closed.
    bool expectedWindowHandled();

    velmora::ResultGrid& processGrid() const;
    velmora::Query& processList() const;
    /// The centre of the filter cell of `field`'s column, in the title row.
    QPoint filterCellCentre(const QString& field) const;
    /// The row of the process grid showing `spid`; -1 when none does.
    int rowOfSpid(int spid) const;

    /// What `read` makes of the simulated server's state, read under its lock.
    template <class Read>
    auto serverState(Read read)
    {
        std::lock_guard lock(sim.engine().mutex());
        return read(sim.engine().state());
    }

    OperatorDesk& desk = OperatorDesk::instance();
    velmora::testing::SettingsFile settings;
    SimFixture sim;
    std::unique_ptr<velmora::MainWindow> window;

private:
    void watchWindows();

    QTimer m_watch;
    std::function<bool(QWidget&)> m_expected;
    bool m_handled = false;
    bool m_handling = false;
    int m_inactiveTicks = 0;
};
