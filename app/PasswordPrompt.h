#pragma once

// The table engine's own password prompt as the program shows it: when none of the
// passwords held by the session opens a table, the engine asks through the dialogs seam
// (a masked box with OK and Cancel). Cancel gives no password, so the opening fails with
// the engine's message.

namespace engine {
class Session;
}

namespace platform {
class Dialogs;
}

// Installs the prompt on the session. `dialogs` must outlive every use of the session's
// prompt (the window installs it with its own dialogs, which live as long as it).
void installPasswordPrompt(engine::Session &session, platform::Dialogs &dialogs);
