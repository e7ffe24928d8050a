#include "RecordingError.h"

namespace velmora {

RecordingError::RecordingError(Cause cause, const QString& text)
    : std::runtime_error(text.toStdString()), m_cause(cause), m_text(text)
{
}

RecordingError RecordingError::damaged(const QString& path)
{
    return RecordingError(Cause::Damaged, QStringLiteral("Запись %1 повреждена или обрезана.").arg(path));
}

} // namespace velmora
