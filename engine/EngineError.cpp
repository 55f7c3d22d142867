// EngineError: carries the engine's kind and text; what() gives the text in UTF-8.

#include "engine/EngineError.h"

namespace engine {

EngineError::EngineError(Kind kind, QString message)
    : m_kind(kind), m_message(std::move(message)), m_utf8(m_message.toUtf8())
{
}

const char *EngineError::what() const noexcept
{
    return m_utf8.constData();
}

} // namespace engine
