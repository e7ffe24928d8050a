#include "FilterEditor.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionSizeGrip>
#include <QTimer>
#include <algorithm>

namespace velmora {

namespace {

// The grip in the lower right corner of the dropped-down list that resizes it. A popup keeps
// the mouse to itself, so it is resized here rather than by the window manager.
class ListGrip : public QWidget {
public:
    explicit ListGrip(QWidget& list) : QWidget(&list), m_list(list)
    {
        setObjectName(QStringLiteral("listGrip"));
        setCursor(Qt::SizeFDiagCursor);
        resize(style()->pixelMetric(QStyle::PM_SizeGripSize), style()->pixelMetric(QStyle::PM_SizeGripSize));
        m_list.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Show) {
            move(m_list.width() - width(), m_list.height() - height());
            raise();
        }
        return false;
    }
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        QStyleOptionSizeGrip option;
        option.initFrom(this);
        option.corner = Qt::BottomRightCorner;
        style()->drawControl(QStyle::CE_SizeGrip, &option, &painter, this);
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        m_pressedAt = event->globalPosition().toPoint();
        m_pressedSize = m_list.size();
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!(event->buttons() & Qt::LeftButton))
            return;
        const QPoint moved = event->globalPosition().toPoint() - m_pressedAt;
        m_list.resize((m_pressedSize + QSize(moved.x(), moved.y())).expandedTo(m_list.minimumSizeHint()));
    }

private:
    QWidget& m_list;
    QPoint m_pressedAt;
    QSize m_pressedSize;
};

} // namespace

FilterEditor::FilterEditor(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    setFrame(false);
    setInsertPolicy(QComboBox::NoInsert);
    setMaxVisibleItems(17);
    // The box is painted in the cell's colour where the style would draw a button face.
    setAutoFillBackground(true);
    // The default completer writes the first matching entry over what is typed.
    setCompleter(nullptr);
    view()->setTextElideMode(Qt::ElideNone);
    // The list is resizable by the grip in its lower right corner, the way the operator wants
    // long entries (date-times, host names) shown.
    new ListGrip(*view()->parentWidget());
    // The list shows its entries as lists do, not in the cell's colours.
    QPalette listColours = QApplication::palette(view());
    for (const QPalette::ColorRole role : {QPalette::Base, QPalette::Text, QPalette::Window, QPalette::WindowText,
                                           QPalette::Button, QPalette::ButtonText})
        listColours.setColor(role, listColours.color(role));   // set, so not taken from the editor
    view()->parentWidget()->setPalette(listColours);
    // A choice in the list closes it and then activates the entry; the combo box also
    // activates an entry whose text merely equals the typed text when editing ends, which is no
    // choice and is not taken for one.
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (m_listClosing && index >= 0)
            emit picked(itemText(index));
    });
}

void FilterEditor::setColours(const QColor& background, const QColor& text)
{
    QPalette colours = palette();
    for (const QPalette::ColorRole role : {QPalette::Base, QPalette::Window, QPalette::Button})
        colours.setColor(role, background);
    colours.setColor(QPalette::Text, text);
    colours.setColor(QPalette::ButtonText, text);
    setPalette(colours);
    lineEdit()->setPalette(colours);
}

void FilterEditor::reset(const QStringList& entries, const QString& text)
{
    clear();
    addItems(entries);
    setEditText(text);
    lineEdit()->selectAll();
}

bool FilterEditor::isListOpen() const
{
    return view()->isVisible();
}

bool FilterEditor::passKeyOn(QKeyEvent* event)
{
    const int key = event->key();
    const bool dropDown = (key == Qt::Key_F4 && event->modifiers() == Qt::NoModifier)
                          || ((key == Qt::Key_Down || key == Qt::Key_Up)
                              && event->modifiers() & Qt::AltModifier);
    if (dropDown)
        return false;
    static_cast<QObject*>(lineEdit())->event(event);
    return true;
}

void FilterEditor::showPopup()
{
    // Wide enough for the longest entry whatever the column's width.
    QAbstractItemView& list = *view();
    const int scrollBar = count() > maxVisibleItems() ? list.verticalScrollBar()->sizeHint().width() : 0;
    list.setMinimumWidth(std::max(width(), list.sizeHintForColumn(0) + scrollBar + 2 * list.frameWidth()));
    QComboBox::showPopup();
}

void FilterEditor::hidePopup()
{
    // Hiding the editor closes a list that is not open as well; that is no choice.
    if (isListOpen()) {
        m_listClosing = true;
        // The activation of a chosen entry follows the closing within the same event.
        QTimer::singleShot(0, this, [this] { m_listClosing = false; });
    }
    QComboBox::hidePopup();
}

void FilterEditor::wheelEvent(QWheelEvent* event)
{
    // Over the closed editor the wheel chooses nothing.
    event->accept();
}

} // namespace velmora
