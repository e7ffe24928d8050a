#include "TahomaFace.h"

#include <QFontDatabase>

namespace velmora {

namespace {

const QString Tahoma = QStringLiteral("Tahoma");

bool knowsTahoma()
{
    return QFontDatabase::families().contains(Tahoma, Qt::CaseInsensitive);
}

} // namespace

QStringList wineTahomaFiles()
{
    return {QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"), QStringLiteral("/usr/share/wine/fonts/tahomabd.ttf")};
}

bool provideTahoma(const QStringList& files)
{
    // The system's own Tahoma wins: a desktop that has one has chosen it.
    if (knowsTahoma())
        return true;
    for (const QString& file : files)
        QFontDatabase::addApplicationFont(file);
    return knowsTahoma();
}

} // namespace velmora
