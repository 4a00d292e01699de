// The receipt settings from a script, without a console: --get, --set and
// --check read the same files and apply the same rules as the editor.
#pragma once

#include <string>
#include <vector>

#include "editor/receipt_messages.h"
#include "editor/receipt_settings.h"
#include "input/form_tables.h"
#include "text/language.h"

namespace qp {

// Exit codes of the scripted modes.
enum ScriptExit : int {
    kScriptDone = 0,
    kScriptNotSaved = 3,   // the file could not be written
    kScriptUsage = 64,     // an unknown key or a malformed argument
    kScriptBadValue = 65,  // a value the editor would refuse, or a failing row plan
    kScriptNoInput = 66,   // Tarn.ini is there but may not be used (EX_NOINPUT)
};

struct ScriptResult {
    int exitCode = kScriptDone;
    std::string output;             // code page 850, a line per setting
    std::vector<Message> messages;  // problems and warnings, in the session's language
};

class SettingsScript {
public:
    // The settings must be built over screen 1 of `tables`, loaded from the form file.
    SettingsScript(ReceiptSettings& settings, FormTables& tables, Translator& translator);

    // "Key=Value" for the keys named (any case), or all nine in their order.
    ScriptResult Get(const std::vector<std::string>& keys);
    // Each argument "Key=Value"; all checked before anything is written, and
    // written through the editor's own save. A Tarn.ini that was missing
    // and is made by the save is named, with its path.
    ScriptResult Set(const std::vector<std::string>& assignments);
    // The stored settings checked as Set checks new ones. With the old
    // format off, rows that would fail the plan once it is on are a warning.
    ScriptResult Check();

private:
    // The value as it is stored, or nothing when the editor would refuse it.
    std::optional<std::string> Checked(int setting, const std::string& value);
    // What a setting takes: its codes ("S, N") or its rows ("0-99").
    std::string Accepted(int setting);
    void CheckPlan(ScriptResult& result);
    // Loads Tarn.ini; false, with the problem told, when it may not be used.
    bool Loaded(ScriptResult& result);
    void Problem(ScriptResult& result, int exitCode, const std::string& catalan, const std::string& subject);

    ReceiptSettings& settings_;
    FormTables& tables_;
    Translator& translator_;
};

}  // namespace qp
