// A shared file given back, when a signal (or the console's close) ends the
// process, as it was before this process first wrote to it: cut back to its
// former length with its former first bytes, or removed when it did not exist.
// It exists for WinPush.tmp, whose earlier records belong to the program that
// started this one. The state is process-wide because signal handlers reach
// nothing else; the handler's part uses async-signal-safe calls only.
//
// The file lies in a folder that others may write, so it is opened once, when
// armed, the way the program opens its own files (no symbolic link or reparse
// point, a regular file of this user with no other name, created 0600 when
// missing), and that open file is what is given back: whatever the name
// stands for by then is left alone.
#pragma once

#include <string>

namespace qp {

// Opens the file and notes its state now; a later Arm replaces the earlier
// one. False when the file may not be used: nothing is armed, nothing created.
bool ArmFileRollback(const std::string& programPath);
// Forgets the armed file and closes it.
void DisarmFileRollback();
// Puts the armed file back and disarms. Called from signal and
// console-control handlers, and by a first write to the file that failed.
void RollBackFileOnSignal();

}  // namespace qp
