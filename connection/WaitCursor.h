// Shows the wait cursor while the program waits for the server, when there is a GUI at all.
#pragma once

namespace velmora {

class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    bool m_shown = false;
};

} // namespace velmora
