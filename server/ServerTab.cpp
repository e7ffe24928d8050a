#include "ServerTab.h"

#include "Query.h"
#include "ResultGrid.h"
#include "TahomaFont.h"

#include <QVBoxLayout>

namespace velmora {

namespace {

GridColumns serverGridColumns()
{
    GridColumns columns;
    for (auto [field, width] : {std::pair{"Index", -1}, {"Name", -1}, {"Internal_Value", 102}, {"Character_Value", -1}}) {
        GridColumn column;
        column.fieldName = QString::fromLatin1(field);
        column.titleAlignment = Qt::AlignHCenter;
        column.width = width;
        columns.push_back(std::move(column));
    }
    return columns;
}

} // namespace

ServerTab::ServerTab(Connection* connection, QWidget* parent)
    : WindowTab(parent)
{
    SrvQuery = new Query(this);
    SrvQuery->setObjectName(QStringLiteral("SrvQuery"));
    SrvQuery->setConnection(connection);
    SrvQuery->setSql({QStringLiteral("Exec xp_msver")});
    SrvQuery->setFields({{QStringLiteral("Index"), FieldKind::SmallInt, 0, true},
                         {QStringLiteral("Name"), FieldKind::WideString, 32, true},
                         {QStringLiteral("Internal_Value"), FieldKind::Integer, 0, true},
                         {QStringLiteral("Character_Value"), FieldKind::WideString, 120, true}});

    DBGridEh7 = new ResultGrid(this);
    DBGridEh7->setObjectName(QStringLiteral("DBGridEh7"));
    DBGridEh7->setFonts(tahomaFont(8));
    GridOptions options;
    options.editing = false;
    options.rowSelect = true;
    DBGridEh7->setOptions(options);
    DBGridEh7->setColumns(serverGridColumns());
    DBGridEh7->setDataSource(SrvQuery);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(DBGridEh7);
}

ServerTab::~ServerTab() = default;

QString ServerTab::caption() const
{
    return QStringLiteral("Сервер");
}

void ServerTab::setConnectedState(bool) {}

void ServerTab::openAfterConnect(ServerFamily)
{
    SrvQuery->close();
    SrvQuery->open();
}

void ServerTab::closeAtDisconnect()
{
    SrvQuery->close();
}

} // namespace velmora
