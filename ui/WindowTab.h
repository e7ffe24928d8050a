// One tab of the main window as the window knows it: the window keeps the shell, the connect
// and disconnect sequence and the state matrix, and hands each tab its part of them and the
// keys that act on tabs. A tab with nothing to do for a key leaves the default.
#pragma once

#include "ServerFamily.h"

#include <QWidget>

namespace velmora {

class WindowTab : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    ~WindowTab() override;

    /// The caption on the tab.
    virtual QString caption() const = 0;

    /// Enables the tab's controls with the window's connected state, disables them otherwise.
    virtual void setConnectedState(bool connected) = 0;
    /// What the tab opens once the window is connected; `family` as the probe decided.
    /// Throws DbError; the window stays connected then.
    virtual void openAfterConnect(ServerFamily family) { Q_UNUSED(family); }
    /// What the tab closes and resets when the window disconnects or closes.
    virtual void closeAtDisconnect() {}

    /// F5 while this tab is shown. Throws DbError.
    virtual void refreshKey() {}
    /// Ctrl+Del while this tab is shown. Throws DbError.
    virtual void deleteKey() {}
    /// F3, whichever tab is shown. Throws DbError.
    virtual void filterValuesKey() {}
};

} // namespace velmora
