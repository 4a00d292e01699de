// A console on which the operator takes a while before every key: each queued
// event is preceded by some empty polls. It counts those and the waits the
// program asks for, so that a loop that waits between empty polls shows one
// wait per empty poll, and one that spins shows none.
#pragma once

#include "screen/memory_console.h"

namespace qp {

class IdleConsole : public MemoryConsole {
public:
    explicit IdleConsole(int idlePolls = 3) : idlePolls_(idlePolls), idleLeft_(idlePolls) {}

    bool PollEvent(InputEvent& event) override {
        if (QueuedEvents() > 0 && idleLeft_ > 0) {
            --idleLeft_;
            ++emptyPolls_;
            return false;
        }
        if (MemoryConsole::PollEvent(event)) {
            idleLeft_ = idlePolls_;
            return true;
        }
        ++emptyPolls_;
        return false;
    }
    void WaitForInput() override { ++waits_; }

    int emptyPolls() const { return emptyPolls_; }
    int waits() const { return waits_; }

private:
    int idlePolls_;
    int idleLeft_;
    int emptyPolls_ = 0;
    int waits_ = 0;
};

}  // namespace qp
