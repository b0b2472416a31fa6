// The signals that would stop the program in the middle of a write (Ctrl+C, a closed
// terminal, kill; on Windows Ctrl+C, Ctrl+Break and a closed console) are held off: the file
// being written is finished first, no further one is started, and the program ends with
// 128 + the signal's number. A write past the file size limit fails as a write instead of
// stopping the program (SIGXFSZ is ignored).
#pragma once

#include <functional>
#include <string>

// Starts holding the signals off, for the rest of the run.
void holdOffStopSignals();

// Runs write, which writes one new file and tells it, with the signals held off; a signal
// received meanwhile is told as stopping the program "once " + done, and the exit status is
// then 128 + its number instead of write's.
int runHoldingOffStopSignals(const std::function<int()>& write, const std::string& done);

// Makes a write past the file size limit fail as a write, for every command (SIGXFSZ would
// stop the program halfway); holdOffStopSignals does it too.
void ignoreFileSizeSignal();

// The number of the first stop signal received, or 0.
int stopSignal();

// Its name, e.g. "SIGINT".
const char* stopSignalName(int signal);

// Marks the time a file is being written: a closed console on Windows, which ends the
// program once its handler returns, waits (a few seconds at most) for it to end.
class WritingFile {
public:
    WritingFile();
    ~WritingFile();
    WritingFile(const WritingFile&) = delete;
    WritingFile& operator=(const WritingFile&) = delete;
};
