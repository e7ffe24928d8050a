// A percentage bar: filled from the left in the highlight colour in proportion to a whole
// percentage, on the button face, inside a one-pixel flat border, with "NN%" written on it.
// A value above 100 fills the bar and still shows its own number.
#pragma once

#include <QWidget>

namespace velmora {

class PercentBar : public QWidget {
    Q_OBJECT
public:
    explicit PercentBar(QWidget* parent = nullptr);

    int value() const { return m_value; }
    void setValue(int percent);
    /// The text written on the bar: "37%".
    QString text() const;
    /// How many pixels of the inside are filled for the current value.
    int filledWidth() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_value = 0;
};

} // namespace velmora
