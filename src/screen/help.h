// F1 help: on a Windows host the topic's HTML page through QPOPEN, elsewhere
// the topic's text file in a framed pager.
#pragma once

#include <string>

#include "platform/platform.h"
#include "screen/windows.h"

namespace qp {

class Help {
public:
    // hostKind is the session's HostKind; "WIN" selects the HTML help.
    Help(Windows& windows, Platform& platform, std::string hostKind);
    void ShowHelp(const std::string& topic);

private:
    void ShowTextHelp(const std::string& topic);
    int WaitForKey();

    Windows& windows_;
    Platform& platform_;
    std::string hostKind_;
};

}  // namespace qp
