#include "ColumnLayoutStore.h"

#include "ColumnLayoutFile.h"
#include "ErrorDisplay.h"

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
        LoadColumnLayout(m_grid, LayoutFile);
    } catch (...) {
        showErrorDisplay(errorText(std::current_exception()));
        return false;
    }
    return true;
}

void ColumnLayoutStore::save()
{
    try {
        SaveColumnLayout(m_grid, LayoutFile);
    } catch (...) {
        showErrorDisplay(errorText(std::current_exception()));
    }
}

} // namespace velmora
