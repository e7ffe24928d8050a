#include "VelmoraApplication.h"

#include "ErrorDisplay.h"
#include "TahomaFace.h"
#include "WaitCursor.h"
#include "WaitInputFilter.h"

#include <QFont>

namespace velmora {

VelmoraApplication::VelmoraApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
    provideTahoma();
    // The window is laid out in pixels for narrow Windows fonts; where those are missing, take
    // narrow ones with Cyrillic so that the labels fit their places.
    const QStringList narrow = {QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Nimbus Sans Narrow"),
                                QStringLiteral("Liberation Sans Narrow")};
    QFont::insertSubstitutions(QStringLiteral("Tahoma"), narrow);
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), narrow);

    // While the program waits for the server: the wait cursor, and user input held off a slow call.
    WaitCursor::setIndicator([](bool waiting) {
        if (waiting)
            setOverrideCursor(Qt::WaitCursor);
        else
            restoreOverrideCursor();
    });
    WaitInputFilter::instance();
}

VelmoraApplication::~VelmoraApplication()
{
    WaitCursor::setIndicator({});
}

bool VelmoraApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        // The operation in progress has ended; the program goes on processing events.
        showErrorDisplay(errorText(std::current_exception()));
    }
    return false;
}

} // namespace velmora
