// The program's messages, in Catalan (the key of the language file), and the
// texts made from them for the operator and the administrator.
#pragma once

#include <string>

#include "editor/receipt_settings.h"
#include "input/refusal.h"
#include "platform/platform.h"
#include "text/language.h"

namespace qp {

// What the program tells: a text in the session's language, which the
// operator's box shows alone, and the system's own words naming the file
// concerned, which the scripted modes write on a line of their own, marked
// as detail. Both code page 850.
struct Message {
    std::string text;
    std::string detail;  // empty when the system said nothing
    bool operator==(const Message&) const = default;
};

// The message of a failed row plan rule, untranslated.
const std::string& RowPlanMessage(RowPlanFault fault);
// Why the settings could not be saved to `path`: the file concerned (the
// lock file, when it is the lock that failed) and the cause, in the
// operator's language.
Message SaveFailureMessage(Translator& translator, const std::string& path, const Status& status);
// Why a file the program reads whole, there, may not be used.
Message RefusedFileMessage(Translator& translator, const std::string& path, const FileReading& reading);

// Texts said with what they concern after them ("TEXT: subject").
enum class Said {
    UnknownOption,       // the option
    UnexpectedArgument,  // the argument
    ArgumentsExpected,   // the mode as it is called
    BadHelpTopic,        // the topic
    NotInCodePage,       // the argument, as far as the code page holds it
    ModesListed,         // nothing: how to see the modes
    NoConsole,           // nothing
    NoRootFolder,        // nothing
    SessionValueUnused,  // nothing: the detail names it
    BrokenForm,          // the form file's name
    SheetNotWritten,     // nothing
    FileCreated,         // the file's path
    WithOldFormat,       // the message of the rule the rows would fail
    OutputNotWritten,    // nothing
};
Message Say(Translator& translator, Said what, const std::string& subject = {}, std::string detail = {});

// A language file that is there but may not be used. It cannot translate
// the message that says so: that message is the program's own, in the
// four languages.
Message LanguageFileMessage(const std::string& languageCode, const std::string& name, std::string detail);

// The line a console smaller than the program's 80 x 25 shows: what it
// needs and what it has.
std::string ConsoleSizeNotice(Translator& translator, int rows, int columns);
// Why something was refused and what is expected, in the operator's
// language, for the form's status line. A refused item's text is a row that
// is no whole number: the only text this program refuses.
std::string RefusalText(Translator& translator, const Refusal& refusal);
// How to leave without saving while the row plan keeps the operator in.
std::string LeaveWithoutSavingText(Translator& translator);

}  // namespace qp
