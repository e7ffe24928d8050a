// The process grid's column layout kept between runs in "ColReg.dat" in the working directory.
// A file that cannot be read or written is reported by the general error display and never
// keeps the window from opening or closing.
#pragma once

#include <QString>

namespace velmora {

class ProcessTab;

class ColumnLayoutStore {
public:
    explicit ColumnLayoutStore(ProcessTab& tab) : m_tab(tab) {}

    /// Applies the stored layout when there is one. False, once the error is shown, when the
    /// file is damaged.
    bool restore();
    void save();

private:
    ProcessTab& m_tab;
};

} // namespace velmora
