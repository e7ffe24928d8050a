// The editor opened over a filter cell: a borderless editable combo box in the cell's colours
// whose value list is chosen from only while it is dropped down. Typed text is never completed
// or rewritten, and neither the wheel nor a key steps through the list while it is closed.
#pragma once

#include <QComboBox>

namespace velmora {

class FilterEditor : public QComboBox {
    Q_OBJECT
public:
    explicit FilterEditor(QWidget* parent);

    /// Gives the editor the filter cell's background and text colours.
    void setColours(const QColor& background, const QColor& text);
    /// Fills the list with `entries` and sets the edit text, all of it selected.
    void reset(const QStringList& entries, const QString& text);
    bool isListOpen() const;

    /// Hands a key the filter row does not take to the text box, never to the combo box's own
    /// handler (which steps through the list): F4 and Alt+Up/Down still drop the list down.
    /// Returns whether the key was consumed here.
    bool passKeyOn(QKeyEvent* event);

    void showPopup() override;
    void hidePopup() override;

signals:
    /// An entry was chosen in the dropped-down list.
    void picked(const QString& entry);

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    bool m_listClosing = false;   // the list is being closed, perhaps by a choice in it
};

} // namespace velmora
