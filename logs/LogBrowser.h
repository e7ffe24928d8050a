// The error log viewer without its widgets: the archive list, the last line of the archive
// chosen, the entries of the archive last loaded and the switch that hides the entries without
// a source.
#pragma once

#include "ServerFamily.h"

#include <QObject>
#include <optional>

namespace velmora {

class Connection;
class Query;

class LogBrowser : public QObject {
    Q_OBJECT
public:
    explicit LogBrowser(Connection* connection, QObject* parent = nullptr);

    Query* archives() const { return m_logNumQuery; }
    Query* lastEntry() const { return m_logNumInfoQuery; }
    Query* entries() const { return m_logListQuery; }

    /// Sets the last-entry and entry queries up for `family`, opens the archive list and reads
    /// the last entry of its first archive. Throws the error of either opening.
    void openAfterConnect(ServerFamily family);
    void closeAll();

    /// The archive list's current row moved: reads the last line of the archive now current,
    /// unless the connect is opening the list (it reads that line itself). Throws DbError.
    void currentArchiveChanged();
    /// Loads the entries of the current archive and returns its number; without archives nothing
    /// is asked. Throws DbError, the entries held before kept when the raw log fails.
    std::optional<int> loadEntries();
    /// Whether the entries without a source are shown: applied to the entries held at once, and
    /// to those of every later load.
    void setShowWithoutSource(bool show);

private:
    bool hasArchives() const;
    void readLastEntry();

    Query* m_logNumQuery;       // the archive list
    Query* m_logNumInfoQuery;   // the last line of the current archive
    Query* m_logListQuery;      // the entries of the archive last loaded
    Query* m_logQuery;          // the raw log, never shown
    bool m_showWithoutSource = true;
    bool m_openingAtConnect = false;
};

} // namespace velmora
