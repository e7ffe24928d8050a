#include "ColumnLayoutStore.h"

#include "ErrorDisplay.h"
#include "ProcessTab.h"

#include <QFile>

namespace velmora {

namespace {

const QString LayoutFile = QStringLiteral("ColReg.dat");

} // namespace

bool ColumnLayoutStore::restore()
{
    if (!QFile::exists(LayoutFile))
        return true;
    try {
        m_tab.loadColumnLayout(LayoutFile);
    } catch (...) {
        showErrorDisplay(errorText(std::current_exception()));
        return false;
    }
    return true;
}

void ColumnLayoutStore::save()
{
    try {
        m_tab.saveColumnLayout(LayoutFile);
    } catch (...) {
        showErrorDisplay(errorText(std::current_exception()));
    }
}

} // namespace velmora
