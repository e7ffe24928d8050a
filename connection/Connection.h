// The one connection to the server: an ODBC connection over FreeTDS, opened from the
// OLE DB style connection string the main window builds.
#pragma once

#include "DbError.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>
#include <vector>

namespace velmora {

class Query;
class OdbcConnection;
class OdbcStatement;

/// The rows of a command text run on the connection: the first result with columns.
struct CommandResult {
    QStringList columnNames;
    std::vector<std::vector<QVariant>> rows;  // null values are invalid QVariants
    int rowCount() const { return int(rows.size()); }
    /// The field at `position` of the first row as text; a null reads as empty text.
    /// Precondition: rowCount() > 0; throws DbError (Usage) when there is no such field.
    QString text(int position) const;
};

/// The results of command texts run one after another, up to the first that failed.
struct CommandSeries {
    std::vector<CommandResult> results;   // one for each text run without failing, in order
    std::optional<DbError> failure;       // the error of the text that failed; none when all ran
};

class Connection : public QObject {
    Q_OBJECT
public:
    explicit Connection(QObject* parent = nullptr);
    ~Connection() override;

    /// The OLE DB style string ("Provider=SQLOLEDB.1;User ID=...;Data Source=...").
    void setConnectionString(const QString& oleDb);
    QString connectionString() const;

    int loginTimeout() const { return m_loginTimeout; }   // seconds, 15 by default
    void setLoginTimeout(int seconds) { m_loginTimeout = seconds; }
    /// The longest any command on this connection may wait for the server, whatever time-out
    /// its caller asks for; 0 (the default) sets no limit. Lets a test wait out a time-out of
    /// any screen in a second instead of its 30.
    void setCommandTimeoutLimit(int seconds) { m_commandTimeoutLimit = seconds; }

    /// Opens the connection; throws DbError with the driver's messages on failure.
    void open();
    bool isOpen() const;
    /// Closes every query attached, then the connection. Never throws.
    void close() noexcept;

    /// Runs a command text and holds the first result with columns (an empty CommandResult
    /// when there is none). Meant for short answers (a look-up, a probe): the rows are read
    /// value by value. The batch is read to its end: an error anywhere in it fails the call.
    /// Throws DbError.
    CommandResult execute(const QString& commandText, int timeoutSeconds = 30);
    /// Runs the command texts one after another, each as execute() runs it, its time-out counted
    /// for its own whole call, in a single wait for the server: the operator's cancel ends the
    /// one running and the series. Stops at the first that fails.
    CommandSeries executeSeries(const QStringList& commandTexts, int timeoutSeconds = 30);
    /// Runs a statement that returns no rows. Throws DbError.
    void executeNoRows(const QString& commandText, int timeoutSeconds = 30);

    /// For Query: the live ODBC connection; throws DbError (Usage) when not open.
    OdbcConnection& odbc();

signals:
    void opened();
    void closed();

private:
    friend class Query;
    void attach(Query* query);
    void detach(Query* query);
    /// Runs the command on `statement` and reads its first result with columns.
    static CommandResult fetchResult(OdbcStatement& statement, const QString& commandText);
    /// A new statement on the live connection, its time-out held to the limit.
    OdbcStatement statement(int timeoutSeconds);

    QString m_connectionString;
    int m_loginTimeout = 15;
    int m_commandTimeoutLimit = 0;
    std::unique_ptr<OdbcConnection> m_odbc;
    std::vector<Query*> m_queries;
};

} // namespace velmora
