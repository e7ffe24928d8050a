#include "ErrorDisplay.h"

#include "DbError.h"
#include "MessageSeam.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace velmora {

QString programTitle(const QString& executablePath)
{
    const QString fileName = QFileInfo(executablePath).fileName();
    const QString stem = fileName.left(fileName.indexOf(u'.'));
    return stem.left(1) + stem.mid(1).toLower();
}

QString withFullStop(const QString& text)
{
    return !text.isEmpty() && text.back() > u'.' ? text + u'.' : text;
}

QString errorText(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const DbError& dbError) {
        return dbError.text();
    } catch (const std::exception& other) {
        return QString::fromUtf8(other.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

void showErrorDisplay(const QString& text)
{
    MessageRequest request;
    request.caption = programTitle(QCoreApplication::applicationFilePath());
    request.text = withFullStop(text);
    request.icon = QMessageBox::Critical;
    showMessage(request);
}

} // namespace velmora
