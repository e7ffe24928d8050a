// The title row of a result grid: title cells painted from the column collection with their
// sort marks, title buttons that act as push buttons, and column moves by dragging a title
// (with the right button where the title is a button). The filter row subclasses it and draws
// its cells under the titles, in the same sections.
#pragma once

#include <QFont>
#include <QHeaderView>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

namespace velmora {

class ResultGrid;

class GridHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit GridHeader(ResultGrid& grid);

    /// The column whose title button is held down, -1 when none.
    int pressedTitle() const { return m_pressed; }

    /// Pixels at the right of a title's text area kept for the sort marker.
    static constexpr int markerAreaWidth = 16;
    static constexpr int markerWidth = 10;
    static constexpr int markerHeight = 9;

    /// QHeaderView's hint, measured again only when what it depends on has changed.
    QSize sizeHint() const override;

signals:
    /// A title button was pressed and released over the same title.
    void titleClicked(int column, bool ctrl);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    bool isTitleButton(int logicalIndex) const;
    /// Whether the point lies on a section border that can be dragged to resize.
    bool isOnResizeBorder(int position) const;
    int titleButtonAt(const QPoint& point) const;
    void pressTitle(int logicalIndex);
    void paintMarker(QPainter* painter, const QRect& area, bool pointsDown) const;

    /// What the titles' measured size depends on.
    struct TitleLook {
        QStringList titles;               // an empty title stands for a hidden section too
        std::vector<int> alignments;      // -1 for a hidden section
        QFont font;
        const QStyle* style = nullptr;
        bool sortIndicator = false;
        bool operator==(const TitleLook&) const = default;
    };
    TitleLook titleLook() const;

    ResultGrid& m_grid;
    mutable std::optional<std::pair<TitleLook, QSize>> m_measured;
    int m_pressed = -1;          // title button held with the left button
    bool m_pressedOver = false;  // the pointer is over that title: drawn pressed
    bool m_rightDrag = false;    // a right-button press on a title button, handled as a left drag
};

} // namespace velmora
