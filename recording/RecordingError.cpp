#include "RecordingError.h"

namespace velmora {

RecordingError::RecordingError(Cause cause, const QString& text)
    : std::runtime_error(text.toStdString()), m_cause(cause), m_text(text)
{
}

} // namespace velmora
