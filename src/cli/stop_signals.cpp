#include "cli/stop_signals.h"

#include <csignal>

namespace lumora::cli {

namespace {

// The one piece of process-wide state: a signal handler can reach nothing
// else. Written only by OnStopSignal, read by ReceivedStopSignal.
volatile std::sig_atomic_t receivedSignal = 0;

void OnStopSignal(int signal) {
    receivedSignal = signal;
}

}  // namespace

void InstallStopSignals() {
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    // Interrupted system calls carry on; a repeated signal is not caught.
    sa.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

int ReceivedStopSignal() {
    return receivedSignal;
}

int ExitCodeAfterStopSignal(int code) {
    const int signal = ReceivedStopSignal();
    return signal != 0 ? 128 + signal : code;
}

}  // namespace lumora::cli
