// Painting the process grid: 10,000 processes, all 30 columns shown, scrolled to the middle,
// rendered offscreen, against a QTableView over a QStandardItemModel holding the same texts
// with the same font, column widths and row height.
#include "BenchSupport.h"
#include "Connection.h"
#include "ProcessTab.h"
#include "Query.h"
#include "ResultGrid.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QStandardItemModel>
#include <QTableView>
#include <memory>

using namespace velmora;

namespace {

constexpr int processCount = 10'000;
const QSize viewSize(1280, 800);

// Renders `widget` whole, as a paint event would draw it.
void paintEach(benchmark::State& state, QWidget& widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        widget.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}

struct ProcessGrid {
    ProcessGrid()
    {
        bench::setUserProcesses(processCount);
        connection.setConnectionString(bench::oleDbString(QStringLiteral("GridPaintBench")));
        connection.open();
        tab.openAfterConnect(ServerFamily::Sql2000);
        GridColumns columns = grid().columns();
        for (GridColumn& column : columns)
            column.visible = true;
        grid().setColumns(columns);
        tab.resize(viewSize);
        tab.show();
        Query& list = *tab.procSource();
        list.moveTo(list.recordCount() / 2);
        QApplication::processEvents();
    }
    ResultGrid& grid() { return *tab.findChild<ResultGrid*>(QStringLiteral("processGrid")); }

    Connection connection;
    ProcessTab tab{&connection};
};

// Made by the first benchmark that needs it and destroyed by main, while the application lives.
std::unique_ptr<ProcessGrid> sharedGrid;

ProcessGrid& processGrid()
{
    if (!sharedGrid)
        sharedGrid = std::make_unique<ProcessGrid>();
    return *sharedGrid;
}

void BM_PaintProcessGrid(benchmark::State& state)
{
    paintEach(state, processGrid().grid());
}
BENCHMARK(BM_PaintProcessGrid)->Unit(benchmark::kMillisecond);

void BM_PaintStandardTableView(benchmark::State& state)
{
    ResultGrid& grid = processGrid().grid();
    QAbstractItemModel& source = *grid.model();
    QStandardItemModel model(source.rowCount(), source.columnCount());
    for (int row = 0; row < source.rowCount(); ++row)
        for (int column = 0; column < source.columnCount(); ++column)
            model.setItem(row, column, new QStandardItem(source.index(row, column).data().toString()));
    for (int column = 0; column < source.columnCount(); ++column)
        model.setHeaderData(column, Qt::Horizontal, source.headerData(column, Qt::Horizontal));
    QTableView view;
    view.setFont(grid.font());
    view.setModel(&model);
    view.verticalHeader()->setDefaultSectionSize(grid.verticalHeader()->defaultSectionSize());
    for (int column = 0; column < source.columnCount(); ++column)
        view.setColumnWidth(column, grid.columnWidth(column));
    view.resize(grid.size());
    view.show();
    view.scrollTo(model.index(grid.currentIndex().row(), 0), QAbstractItemView::PositionAtCenter);
    QApplication::processEvents();
    paintEach(state, view);
}
BENCHMARK(BM_PaintStandardTableView)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return bench::runInApplication(argc, argv, [] { sharedGrid.reset(); });
}
