// What the program keeps between runs in its settings file "Velmora.ini": the server and the
// login last typed, and the process list's sort.
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
};

} // namespace velmora
