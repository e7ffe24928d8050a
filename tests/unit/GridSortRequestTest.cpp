// A grid's request for the local sort, made through the grid itself.
#include "Query.h"
#include "ResultGrid.h"
#include "SortFilterAdapter.h"
#include "SortFilterAdapterFixture.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::testing;

TEST_F(SortFilterAdapter, SortRequestAtEndOfDataChangesNothing)
{
    ResultGrid grid;
    grid.setDataSource(&query);
    grid.setColumns({column(QStringLiteral("spid")), column(QStringLiteral("cpu"))});
    grid.setSortMarker(1, SortMarker::Down);

    query.last();
    EXPECT_FALSE(requestLocalSort(grid));
    EXPECT_EQ(visible(), "51 52 53 54*");

    query.prior();
    EXPECT_TRUE(requestLocalSort(grid));
    EXPECT_EQ(visible(), "54 52 51 53*");
}
