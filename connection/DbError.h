// Errors of the data-access layer: what the driver or the server said, and our own.
#pragma once

#include <QString>
#include <QStringList>
#include <stdexcept>
#include <vector>

namespace velmora {

/// One ODBC diagnostic record.
struct Diagnostic {
    QString sqlState;   // five characters, e.g. "42S02"
    int nativeError = 0;
    QString message;    // as the driver gives it, "[FreeTDS][SQL Server]..." prefix included
};

/// The base of every error this layer raises; what() is the text shown to the operator.
class DbError : public std::runtime_error {
public:
    enum class Cause {
        Server,     // the server refused a statement or a login
        Link,       // the connection is gone or could not be made; time-outs too
        Usage,      // a caller bug: not open, unknown field, bad sort string, ...
        Binding,    // the result does not fit the declared fields
    };

    DbError(Cause cause, const QString& text, std::vector<Diagnostic> records = {},
            QString statement = {});

    Cause cause() const noexcept { return m_cause; }
    QString text() const { return m_text; }
    const std::vector<Diagnostic>& records() const noexcept { return m_records; }
    QString statement() const { return m_statement; }
    /// Whether any record carries this native error number.
    bool hasNative(int number) const;

private:
    Cause m_cause;
    QString m_text;
    std::vector<Diagnostic> m_records;
    QString m_statement;
};

} // namespace velmora
