// How a test reaches a part of a window it cannot drive through input alone (a grid to read,
// a query to inspect): by the object name the window gives it, never by a public member.
#pragma once

#include <QObject>
#include <QString>
#include <stdexcept>
#include <string>

namespace velmora::testing {

/// The child of `owner` named `name`, of type T; a missing part fails the test that asked.
template <typename T>
T* part(const QObject& owner, const char* name)
{
    if (T* found = owner.findChild<T*>(QString::fromLatin1(name)))
        return found;
    throw std::logic_error(std::string("no part named ") + name + " in " + owner.objectName().toStdString());
}

} // namespace velmora::testing
