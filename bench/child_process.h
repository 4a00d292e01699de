// Programs run as children the way a script runs them (fork, exec, wait),
// timed from the fork to the reap, with their peak memory from wait4.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qp::bench {

struct ChildRun {
    int exitCode = -1;            // -1 when a signal ended it
    std::int64_t micros = 0;      // from just before the fork until it was reaped
    long peakResidentKb = 0;      // ru_maxrss of the child
    std::string output;           // standard output and error together
};

// This process's environment with `overrides` ("NAME=value") in place of
// the entries of the same names.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& overrides);

// Runs `argv` (argv[0] a path) with standard input from /dev/null.
std::optional<ChildRun> RunChild(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                                 std::string& reason);

// Runs every command at once: all are forked first and wait on one pipe
// before their exec; closing it releases them together. `elapsedMicros`:
// from the release until the last one was reaped.
std::optional<std::vector<ChildRun>> RunTogether(const std::vector<std::vector<std::string>>& commands,
                                                 const std::vector<std::string>& environment,
                                                 std::int64_t& elapsedMicros, std::string& reason);

}  // namespace qp::bench
