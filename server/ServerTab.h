// The "Сервер" tab: the connected server's properties as xp_msver reports them, read once at
// each connect into the grid DBGridEh7.
#pragma once

#include "WindowTab.h"

namespace velmora {

class Connection;
class Query;
class ResultGrid;

class ServerTab : public WindowTab {
    Q_OBJECT
public:
    explicit ServerTab(Connection* connection, QWidget* parent = nullptr);
    ~ServerTab() override;

    Query* SrvQuery = nullptr;
    ResultGrid* DBGridEh7 = nullptr;

    QString caption() const override;
    /// The tab has no control that follows the window's state.
    void setConnectedState(bool connected) override;
    void openAfterConnect(ServerFamily family) override;   // reads the properties again
    void closeAtDisconnect() override;
};

} // namespace velmora
