#pragma once

// The error model of the cash desk's own code. Everything in desk/ throws engine::EngineError,
// the one error type of the program, and every throw names its kind, so that a caller acts on
// the kind and never on the text:
//   Refused   a rule of the cash book refuses the change (a closed day, a reversed document,
//             an amount out of range, a wrong administrator code): the window shows it as a
//             refusal, a tool exits with it, nothing is retried;
//   Crypto    OpenSSL failed (a key, a seal, a signature);
//   File      a file beside the tables (a backup, a copy, a key, the export) could not be read,
//             written or renamed;
//   Damaged   what was read is not what was written (a broken chain, a copy that fails its seal);
//   Value     an input that is not a valid value (a date, an amount, a rate list line);
// and the engine's own kinds for the store (Failed, Unavailable, OutcomeUnknown, ...).
// The wrappers the tools and the window call on a whole data directory (inJournalOf,
// checkAdminCode, prepareDirectory, tidyDirectory, chainAppended, logDirectory,
// offsite::send) catch it instead and return bool, with the reason in an out-parameter, as
// platform/ and report/ do.
// The helpers below only spell the common ones shorter at the throw site.

#include "engine/EngineError.h"

#include <QString>

namespace desk {

[[noreturn]] inline void refuse(const QString &message)
{
    throw engine::EngineError(engine::EngineError::Kind::Refused, message);
}

[[noreturn]] inline void cryptoFailure(const QString &message)
{
    throw engine::EngineError(engine::EngineError::Kind::Crypto, message);
}

[[noreturn]] inline void fileFailure(const QString &message)
{
    throw engine::EngineError(engine::EngineError::Kind::File, message);
}

} // namespace desk
