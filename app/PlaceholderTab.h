// A tab whose screen is still to be built: its caption and, where the screen has one, its tool
// bar with the refresh button that follows the window's state. F5 reaches it and does nothing
// until the screen arrives in its own folder.
#pragma once

#include "WindowTab.h"

class QToolButton;

namespace velmora {

class PlaceholderTab : public WindowTab {
    Q_OBJECT
public:
    /// A tab captioned `caption`; a non-empty `refreshButton` names its tool bar's refresh button.
    PlaceholderTab(const QString& caption, const QString& refreshButton, QWidget* parent = nullptr);

    QString caption() const override { return m_caption; }
    void setConnectedState(bool connected) override;

private:
    QString m_caption;
    QToolButton* m_refresh = nullptr;
};

} // namespace velmora
