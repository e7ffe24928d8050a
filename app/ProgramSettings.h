// What the program keeps between runs in its settings file "Velmora.ini": the server and the
// login last typed, the process list's sort, and its auto-refresh interval.
#pragma once

#include <QString>

namespace velmora {

class ProgramSettings {
public:
    QString server() const;
    QString login() const;
    QString sort() const;
    /// Stores the server and the login, each only when it is not blank, as typed.
    void saveLogin(const QString& server, const QString& login) const;
    void saveSort(const QString& sort) const;
    /// The auto-refresh interval in seconds; 0 (off) when missing or not a number.
    int autoRefreshInterval() const;
    /// Written only when the operator chooses one, in a section of its own.
    void saveAutoRefreshInterval(int seconds) const;
};

} // namespace velmora
