#pragma once

namespace vantrel {

namespace netapi {
class NetApi;
}

// Runs the main window on a network until it closes: the application title, the help file, the
// window with its start-up, and the event loop. Returns the loop's exit code. The caller has created
// the QApplication.
// The mailbox helper and the Exchange directory library are looked for next to the program first.
int RunWindowProgram(netapi::NetApi& net);

}  // namespace vantrel
