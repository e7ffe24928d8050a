#include "ServerTab.h"

#include "GridSetup.h"
#include "Query.h"

#include <QVBoxLayout>

namespace velmora {

ServerTab::ServerTab(Connection* connection, QWidget* parent)
    : WindowTab(parent)
    , m_srvQuery(new Query(this))
{
    m_srvQuery->setObjectName(QStringLiteral("SrvQuery"));
    m_srvQuery->setConnection(connection);
    m_srvQuery->setSql({QStringLiteral("Exec xp_msver")});
    m_srvQuery->setFields({{QStringLiteral("Index"), FieldKind::SmallInt, 0, true},
                           {QStringLiteral("Name"), FieldKind::WideString, 32, true},
                           {QStringLiteral("Internal_Value"), FieldKind::Integer, 0, true},
                           {QStringLiteral("Character_Value"), FieldKind::WideString, 120, true}});

    ResultGrid* grid = makeGrid(this, {.name = "serverPropertiesGrid", .source = m_srvQuery,
                                       .columns = columnTable({{"Index"}, {"Name"}, {"Internal_Value", 102},
                                                               {"Character_Value"}})});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(grid);
}

ServerTab::~ServerTab() = default;

QString ServerTab::caption() const
{
    return QStringLiteral("Сервер");
}

void ServerTab::setConnectedState(bool) {}

void ServerTab::openAfterConnect(ServerFamily)
{
    m_srvQuery->close();
    m_srvQuery->open();
}

void ServerTab::closeAtDisconnect()
{
    m_srvQuery->close();
}

} // namespace velmora
