#include "FilterEditor.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QSizeGrip>
#include <QTimer>
#include <algorithm>

namespace velmora {

FilterEditor::FilterEditor(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    setFrame(false);
    setInsertPolicy(QComboBox::NoInsert);
    setMaxVisibleItems(17);
    // The default completer writes the first matching entry over what is typed.
    setCompleter(nullptr);
    view()->setTextElideMode(Qt::ElideNone);
    // The list is resizable by the grip in its lower right corner, the way the operator wants
    // long entries (date-times, host names) shown.
    auto* grip = new QSizeGrip(view()->parentWidget());
    grip->setObjectName(QStringLiteral("listSizeGrip"));
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
    // Autofill paints the box in the cell's colour where the style would draw a button face.
    setAutoFillBackground(true);
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
    QWidget& container = *list.parentWidget();
    if (auto* grip = container.findChild<QSizeGrip*>(QStringLiteral("listSizeGrip"))) {
        grip->move(container.width() - grip->width(), container.height() - grip->height());
        grip->raise();
        grip->show();
    }
}

void FilterEditor::hidePopup()
{
    m_listClosing = true;
    QComboBox::hidePopup();
    // The activation of a chosen entry follows the closing within the same event.
    QTimer::singleShot(0, this, [this] { m_listClosing = false; });
}

void FilterEditor::wheelEvent(QWheelEvent* event)
{
    // Over the closed editor the wheel chooses nothing.
    event->accept();
}

} // namespace velmora
