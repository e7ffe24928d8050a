// Shows that the program waits for the server for as long as one call lasts. The data-access
// layer has no GUI of its own: the application installs how a wait is shown (the wait cursor);
// without that, as in tools without a GUI, nothing is shown.
#pragma once

#include <functional>

namespace velmora {

class WaitCursor {
public:
    /// Called with true when a call begins and with false when it ends; calls may nest.
    using Indicator = std::function<void(bool waiting)>;
    /// Installs how a wait is shown; an empty indicator shows nothing.
    static void setIndicator(Indicator indicator);

    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    /// The indicator told of this wait, so that the same one hears of its end.
    Indicator m_shown;
};

} // namespace velmora
