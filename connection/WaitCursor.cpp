#include "WaitCursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace velmora {

WaitCursor::WaitCursor()
{
    // The data-access layer also runs in tools without a GUI, where there is no cursor to set.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        m_shown = true;
    }
}

WaitCursor::~WaitCursor()
{
    if (m_shown)
        QGuiApplication::restoreOverrideCursor();
}

} // namespace velmora
