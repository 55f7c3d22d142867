// EngineError: carries the engine's text; what() gives the same text in UTF-8.

#include "engine/EngineError.h"

namespace engine {

EngineError::EngineError(QString message)
    : m_message(std::move(message)), m_utf8(m_message.toUtf8())
{
}

EngineError::EngineError(Kind kind, QString message) : EngineError(std::move(message))
{
    m_kind = kind;
}

const char *EngineError::what() const noexcept
{
    return m_utf8.constData();
}

} // namespace engine
