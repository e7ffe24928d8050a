// The "Сервер" tab: the connected server's properties as xp_msver reports them, read once at
// each connect into the server properties grid.
#pragma once

#include "WindowTab.h"

namespace velmora {

class Connection;
class Query;

class ServerTab : public WindowTab {
    Q_OBJECT
public:
    explicit ServerTab(Connection* connection, QWidget* parent = nullptr);
    ~ServerTab() override;

    QString caption() const override;
    /// The tab has no control that follows the window's state.
    void setConnectedState(bool connected) override;
    void openAfterConnect(ServerFamily family) override;   // reads the properties again
    void closeAtDisconnect() override;

private:
    Query* m_srvQuery;
};

} // namespace velmora
