#include "QtDialogs.h"

namespace platform {

void QtDialogs::preview(report::Document &)
{
    // The report preview window arrives with the report engine.
}

} // namespace platform
