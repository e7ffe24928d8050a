// The indicator column at the left of a result grid: button-face cells with an arrow at the
// current row.
#pragma once

#include <QHeaderView>

namespace velmora {

class ResultGrid;

class GridIndicator : public QHeaderView {
    Q_OBJECT
public:
    explicit GridIndicator(ResultGrid& grid);

    QSize sizeHint() const override;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    ResultGrid& m_grid;
};

} // namespace velmora
