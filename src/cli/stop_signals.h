// SIGINT and SIGTERM as stop requests. The handler only records the signal;
// the running job sees it through the host's pending-message processing and
// ends, the session removes its private temp folder on the way out, and the
// program then exits with the conventional 128 + the signal's number.
#pragma once

namespace lumora::cli {

// Installs the handler for SIGINT and SIGTERM. A second signal of a kind
// already received ends the program at once (the default action).
void InstallStopSignals();

// The number of the stop signal received so far, 0 when none was.
int ReceivedStopSignal();

// `code`, or 128 + the signal's number when a stop signal was received.
int ExitCodeAfterStopSignal(int code);

}  // namespace lumora::cli
