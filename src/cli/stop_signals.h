#pragma once
// SIGINT and SIGTERM stop a run the way the panel's ｷｬﾝｾﾙ stops its work: the
// transfer in flight ends with its end command, the script unwinds with
// "cancelled" and the run ends through its usual close (log, link, trace).
// A second SIGINT, for a run that does not stop (a configuration load that
// hangs runs to its end whatever is asked), ends the process at once.

namespace quillon::cli {

// Installed once, before the board is opened.
void InstallStopHandlers();
// The first of SIGINT or SIGTERM that came, 0 while none did.
int StopSignal();
// The status a run stopped by `signal` ends with: 128 + its number, as a shell
// reports a program the signal ended (130 for SIGINT, 143 for SIGTERM).
int StopStatus(int signal);
// "SIGINT" or "SIGTERM".
const char* StopSignalName(int signal);

}  // namespace quillon::cli
