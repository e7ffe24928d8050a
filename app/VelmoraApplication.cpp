#include "VelmoraApplication.h"

#include "ErrorDisplay.h"

namespace velmora {

VelmoraApplication::VelmoraApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
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
