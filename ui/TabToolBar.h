// The tool bar across the top of a tab: image buttons of 25 × 25 pixels that show their hints
// as tool tips and no caption, grooved separators, and the flat border sides a tab asks for.
#pragma once

#include <QFrame>

class QIcon;
class QToolButton;

namespace velmora {

class TabToolBar : public QFrame {
    Q_OBJECT
public:
    static constexpr int barHeight = 29;
    static constexpr int buttonSize = 25;

    /// A bar named `name` with a flat border on the `borders` sides (none by default).
    TabToolBar(const QString& name, QWidget* parent, Qt::Edges borders = {});

    /// An image button at x `left`, vertically centred; it takes no focus.
    QToolButton* addButton(const QString& name, int left, const QIcon& icon, const QString& hint);
    /// A grooved vertical separator at x `left`, `width` wide, its groove in the middle.
    void addSeparator(const QString& name, int left, int width);

    Qt::Edges borders() const { return m_borders; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::Edges m_borders;
};

} // namespace velmora
