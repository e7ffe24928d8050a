#include "GuardedHandler.h"

#include "ErrorDisplay.h"

namespace velmora {

void runGuarded(const std::function<void()>& handler) noexcept
{
    try {
        handler();
    } catch (...) {
        try {
            showErrorDisplay(errorText(std::current_exception()));
        } catch (...) {
            // Showing failed as well (no memory for the box): nothing is left to tell it with.
        }
    }
}

} // namespace velmora
