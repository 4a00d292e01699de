// A shared file given back, when a signal (or the console's close) ends the
// process, as it was before this process first wrote to it: cut back to its
// former length with its former first bytes, or removed when it did not exist.
// It exists for WinPush.tmp, whose earlier records belong to the program that
// started this one. The state is process-wide because signal handlers reach
// nothing else; the handler's part uses async-signal-safe calls only.
#pragma once

#include <string>

namespace qp {

// Notes the file's state now; a later Arm replaces the earlier one.
void ArmFileRollback(const std::string& programPath);
void DisarmFileRollback();
// Called from signal and console-control handlers: puts the armed file back
// and disarms.
void RollBackFileOnSignal();

}  // namespace qp
