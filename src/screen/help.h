// F1 help: on a Windows host the topic's HTML page through QPOPEN, elsewhere
// the topic's text file in a framed pager. The session language's page
// (AJUDA\SPA\topic.HLP) is taken when there is one, the Catalan page in
// AJUDA itself otherwise.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "screen/windows.h"
#include "text/language.h"

namespace qp {

enum class HelpOutcome {
    Shown,   // the page was shown (a missing text page shows blank)
    NoPage,  // the topic is no plain name: nothing shown
    NoRoom,  // the console shows fewer rows than the pager needs
};

// The rows the pager needs seen: its frame from row 4 and one line of text.
constexpr int kHelpLeastRows = 9;

// A help topic names a page, nothing else: 1 to 64 ASCII letters, digits,
// "_" or "-", and no Windows device name (CON, PRN, AUX, NUL, COM0-9,
// LPT0-9, in any case).
bool IsHelpTopic(std::string_view topic);

// The pager's bottom frame line, `width` columns of code page 850: the keys
// in its middle and the lines shown ("18-34/60", lines `first` to `last` of
// `lines`) at its right, each between blanks. What does not fit is left out;
// an empty page shows no position.
std::string PagerBottomLine(const std::string& keys, std::int64_t first, std::int64_t last, std::int64_t lines,
                            int width);

class Help {
public:
    // hostKind is the session's HostKind; "WIN" selects the HTML help on a
    // Windows host. languageCode is the session's LanguageCode. The pager's
    // own texts go through `translator`; without one they are the Catalan ones.
    Help(Windows& windows, Platform& platform, std::string hostKind, std::string languageCode,
         Translator* translator = nullptr);
    // A topic that is no plain name (IsHelpTopic) beeps and shows nothing.
    HelpOutcome ShowHelp(const std::string& topic);

private:
    std::string HtmlPage(const std::string& topic);
    std::unique_ptr<File> OpenTextPage(const std::string& topic);
    std::unique_ptr<File> OpenPage(const std::string& path);
    HelpOutcome ShowTextHelp(const std::string& topic);
    int WaitForKey();

    Windows& windows_;
    Platform& platform_;
    std::string hostKind_;
    std::string languageFolder_;  // "SPA\\", or empty for the pages in AJUDA itself
    Translator* translator_;
};

}  // namespace qp
