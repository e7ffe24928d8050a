// The database inspector without its widgets: the database list, the result sets about the
// chosen database, the refresh that fills them, the space figures and the users' order.
#pragma once

#include "GridColumn.h"

#include <QObject>
#include <vector>

namespace velmora {

class Connection;
class Query;

class DatabaseInspector : public QObject {
    Q_OBJECT
public:
    enum class RefreshResult {
        NoDatabase,                // the list has no current row: nothing was asked
        Complete,
        SpaceUsedOrUsersFailed,    // the space used or the users could not be read
    };

    explicit DatabaseInspector(Connection* connection, QObject* parent = nullptr);

    Query* databaseList() const { return m_databaseListQuery; }
    Query* properties() const { return m_propertiesQuery; }
    Query* files() const { return m_filesQuery; }
    Query* logSpace() const { return m_logSpaceQuery; }
    Query* spaceUsed() const { return m_spaceUsedQuery; }
    Query* users() const { return m_userQuery; }

    void openDatabaseList();
    void closeAll();

    /// Loads the information about the database of the list's current row, each view in turn.
    /// Throws DbError from the steps before the space used; an error of the space used or the
    /// users ends the refresh with SpaceUsedOrUsersFailed, the views read before it kept.
    RefreshResult refresh();

    /// The rounded percentages of the data space and the log space used; 0 without a row.
    int dataSpacePercent() const;
    int logSpacePercent() const;
    /// The data size and the log size of the current rows as shown; empty without a row.
    QString dataSizeText() const;
    QString logSizeText() const;

    /// Reorders the held users by the marked columns, keeping the current uid. Nothing changes
    /// while the users are closed or no column is marked.
    void sortUsers(const GridColumns& columns, const std::vector<int>& sortMarked);

signals:
    /// The space-used or log-space result opened, closed, moved or was reloaded.
    void sizesChanged();

private:
    Connection* m_connection;
    Query* m_databaseListQuery;
    Query* m_propertiesQuery;
    Query* m_filesQuery;
    Query* m_logSpaceQuery;
    Query* m_spaceUsedQuery;
    Query* m_userQuery;
};

/// A percentage rounded to a whole number, an exact half to the even neighbour (62.5 → 62).
int roundPercent(double value);

} // namespace velmora
