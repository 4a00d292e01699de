// F1 help: on a Windows host the topic's HTML page through QPOPEN, elsewhere
// the topic's text file in a framed pager. The session language's page
// (AJUDA\SPA\topic.HLP) is taken when there is one, the Catalan page in
// AJUDA itself otherwise.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "screen/windows.h"

namespace qp {

// A help topic names a page, nothing else: 1 to 64 ASCII letters, digits,
// "_" or "-", and no Windows device name (CON, PRN, AUX, NUL, COM0-9,
// LPT0-9, in any case).
bool IsHelpTopic(std::string_view topic);

class Help {
public:
    // hostKind is the session's HostKind; "WIN" selects the HTML help on a
    // Windows host. languageCode is the session's LanguageCode.
    Help(Windows& windows, Platform& platform, std::string hostKind, std::string languageCode);
    // A topic that is no plain name (IsHelpTopic) beeps and shows nothing.
    void ShowHelp(const std::string& topic);

private:
    std::string HtmlPage(const std::string& topic);
    std::unique_ptr<File> OpenTextPage(const std::string& topic);
    std::unique_ptr<File> OpenPage(const std::string& path);
    void ShowTextHelp(const std::string& topic);
    int WaitForKey();

    Windows& windows_;
    Platform& platform_;
    std::string hostKind_;
    std::string languageFolder_;  // "SPA\\", or empty for the pages in AJUDA itself
};

}  // namespace qp
