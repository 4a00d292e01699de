// Every message the program makes from a failure, in every language of the
// shipped language file: its text is in that language alone, and the
// system's English words (which name the file) are on the detail only.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "editor/receipt_messages.h"
#include "text/language.h"

namespace qp {
namespace {

const std::string kPath = std::string(QP_SOURCE_DIR) + "/Tarn.ini";

// What the platform says, as its reasons read (POSIX and Windows).
const char* const kEnglish[] = {"cannot", "not a regular file", "larger than", "Permission denied", "No such file",
                                "No space", "is a folder", "another program", "link", "lock file", "taken as missing",
                                "standard input", "unknown"};

struct MessageCase {
    std::string name;
    std::function<Message(Translator&, const std::string& language)> make;
};

Message SaveFailure(Translator& translator, FailureCause cause, const std::string& reason) {
    return SaveFailureMessage(translator, kPath, Status::Fail(reason, cause));
}

std::vector<MessageCase> Cases() {
    std::vector<MessageCase> cases = {
        {"read-only", [](Translator& t, auto&) { return SaveFailure(t, FailureCause::Denied, "cannot open " + kPath + ": Permission denied"); }},
        {"disk full", [](Translator& t, auto&) { return SaveFailure(t, FailureCause::DiskFull, "No space left on device"); }},
        {"in use", [](Translator& t, auto&) { return SaveFailure(t, FailureCause::InUse, "another program is changing " + kPath); }},
        {"no folder", [](Translator& t, auto&) { return SaveFailure(t, FailureCause::NoFolder, "No such file or directory"); }},
        {"not a file", [](Translator& t, auto&) { return SaveFailure(t, FailureCause::NotAFile, "cannot open " + kPath + ": not a regular file"); }},
        {"the lock file", [](Translator& t, auto&) {
             return SaveFailureMessage(t, kPath, Status::FailOn(kPath + ".lck", "cannot lock " + kPath + ": its lock file " + kPath + ".lck is a folder", FailureCause::NotAFile));
         }},
        {"other", [](Translator& t, auto&) { return SaveFailure(t, FailureCause::Other, "cannot rewrite: larger than 67108864 bytes"); }},
        {"refused, not a file", [](Translator& t, auto&) {
             return RefusedFileMessage(t, kPath, {FileReading::State::Refused, kPath + ": not a regular file", false});
         }},
        {"refused, too large", [](Translator& t, auto&) {
             return RefusedFileMessage(t, kPath, {FileReading::State::Refused, kPath + ": larger than 67108864 bytes", true});
         }},
        {"language file", [](Translator&, const std::string& language) {
             return LanguageFileMessage(language, "QPLAYOUT.LNG", kPath + ": not a regular file");
         }},
    };
    for (int said = 0; said <= static_cast<int>(Said::WithOldFormat); ++said)
        cases.push_back({"said " + std::to_string(said), [said](Translator& t, auto&) {
                             return Say(t, static_cast<Said>(said), "", kPath + ": cannot open: unknown");
                         }});
    return cases;
}

TEST(MessagesLanguageTest, TextsAreTheOperatorsLanguageAndTheDetailNamesTheFile) {
    SystemPlatform platform;
    Translator catalan(platform, std::string(QP_SOURCE_DIR) + "/", "CAT", "QPLAYOUT");
    for (const char* language : {"CAT", "GLG", "OCI", "SPA"}) {
        Translator translator(platform, std::string(QP_SOURCE_DIR) + "/", language, "QPLAYOUT");
        for (const MessageCase& c : Cases()) {
            SCOPED_TRACE(language + (", " + c.name));
            const Message message = c.make(translator, language);
            for (const char* words : kEnglish) EXPECT_EQ(message.text.find(words), std::string::npos) << message.text;
            EXPECT_NE(message.detail.find("Tarn.ini"), std::string::npos) << message.detail;
            // A text left in Catalan has no record in the language file.
            if (std::string(language) != "CAT") {
                EXPECT_NE(message.text, c.make(catalan, "CAT").text);
            }
        }
    }
}

}  // namespace
}  // namespace qp
