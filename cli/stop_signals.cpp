#include "cli/stop_signals.h"

#include <atomic>
#include <csignal>
#include <initializer_list>

#include "cli/report.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace {

std::atomic<int> gStopSignal{0};   // the first stop signal received, or 0
std::atomic<bool> gWriting{false}; // a file is being written

#ifdef _WIN32
// The signal numbers Windows programs know for the console's events.
const int kSigBreak = 21;

// Notes the event, and for the closing of the console waits until the file being written
// is done: the system ends the program as soon as this returns.
BOOL WINAPI onConsoleEvent(DWORD event) {
    int signal = SIGINT;
    if (event == CTRL_BREAK_EVENT) signal = kSigBreak;
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) signal = 1;
    int none = 0;
    gStopSignal.compare_exchange_strong(none, signal);
    for (int waited = 0; signal == 1 && gWriting.load() && waited < 4500; waited += 50) Sleep(50);
    return TRUE;
}
#else
// Notes the signal; the program stops at the next point where no file is half written.
extern "C" void onStopSignal(int signal) {
    int none = 0;
    gStopSignal.compare_exchange_strong(none, signal);
}
#endif

} // namespace

void holdOffStopSignals() {
#ifdef _WIN32
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
#else
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
#endif
    ignoreFileSizeSignal();
}

void ignoreFileSizeSignal() {
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

int stopSignal() {
    return gStopSignal.load();
}

const char* stopSignalName(int signal) {
    switch (signal) {
    case 1: return "SIGHUP";
    case 2: return "SIGINT";
    case 15: return "SIGTERM";
    case 21: return "SIGBREAK";
    default: return "a signal";
    }
}

WritingFile::WritingFile() {
    gWriting = true;
}

WritingFile::~WritingFile() {
    gWriting = false;
}

int runHoldingOffStopSignals(const std::function<int()>& write, const std::string& done) {
    holdOffStopSignals();
    const int status = write();
    if (stopSignal() == 0) return status;
    reportMessage(std::string("stopped by ") + stopSignalName(stopSignal()) + " once " + done);
    return 128 + stopSignal();
}
