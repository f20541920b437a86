#pragma once

#include <functional>
#include <memory>

namespace vantrel {

namespace netapi {
class NetApi;
}

// Runs the main window on a network until it closes: the application title, the help file, the
// window with its start-up, and the event loop. Returns the loop's exit code. The caller has created
// the QApplication.
// The mailbox helper and the Exchange directory library are looked for next to the program first.
int RunWindowProgram(netapi::NetApi& net);

// A window program's whole main: creates the QApplication, opens the network and runs the window on
// it. A network that cannot be opened is reported in the error box, and the program ends with 1.
int RunWindowProgram(int argc, char** argv, const std::function<std::unique_ptr<netapi::NetApi>()>& openNetwork);

}  // namespace vantrel
