#include "VelmoraApplication.h"

#include "ErrorDisplay.h"
#include "TahomaFace.h"

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
