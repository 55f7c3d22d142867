#pragma once

// How the windows show a prepared report. The program shows the report engine's preview
// window, modal over the active window; the window tests and the benchmarks set their own
// function to look at the prepared document instead. The preview lives here, above platform's
// dialogs seam, so that platform stays below the report engine.

#include <functional>

class QWidget;

namespace report {
class Document;
}

using ReportPreview = std::function<void(report::Document &)>;

// Shows `document` in report::PreviewWindow over the active window (else over `owner`) and
// waits until it is closed.
void showPreviewWindow(report::Document &document, QWidget *owner);
