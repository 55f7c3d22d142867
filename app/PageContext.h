#pragma once

// What every page of the main window is handed by TForm1: the engine session and its four
// tables and query (made once by the window, so that the review window and the grids share
// them), the system seams (dialogs, clock, settings), and the window as the page's PageHost
// (PageHost.h) for what belongs to the session as a whole: the start directory, the logged-in
// user, the audit log, the page shown. A page keeps a reference to this and nothing global; it
// creates its controls as children of the page widget TForm1 gives it, so that every control
// is a child of the window and found by its objectName.

class PageHost;

namespace engine {
class Session;
class Table;
class Query;
} // namespace engine

namespace platform {
class Dialogs;
class Clock;
class SystemSettings;
} // namespace platform

struct PageContext
{
    engine::Session &session;
    platform::Dialogs &dialogs;
    const platform::Clock &clock;
    const platform::SystemSettings &settings;
    PageHost &window;

    engine::Table *users = nullptr;      // podaci\korisnici.db (Table1)
    engine::Table *activities = nullptr; // podaci\aktivnost.db (Table2)
    engine::Table *journal = nullptr;    // podaci/promet.db (Table3)
    engine::Table *groups = nullptr;     // podaci\grupe.db (Table4)
    engine::Query *query = nullptr;      // Query1
};
