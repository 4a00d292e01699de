// F1 help: on a Windows host the topic's HTML page through QPOPEN, elsewhere
// the topic's text file in a framed pager.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"
#include "screen/windows.h"

namespace qp {

// A help topic names a page, nothing else: 1 to 64 ASCII letters, digits,
// "_" or "-", and no Windows device name (CON, NUL, COM1, ...).
bool IsHelpTopic(std::string_view topic);

class Help {
public:
    // hostKind is the session's HostKind; "WIN" selects the HTML help.
    // languageCode is the session's LanguageCode.
    Help(Windows& windows, Platform& platform, std::string hostKind, std::string languageCode);
    void ShowHelp(const std::string& topic);

private:
    void ShowTextHelp(const std::string& topic);
    int WaitForKey();

    Windows& windows_;
    Platform& platform_;
    std::string hostKind_;
    std::string languageCode_;
};

}  // namespace qp
