#include "editor/settings_script.h"

#include <algorithm>

#include "format/numbers.h"
#include "text/cp850.h"

namespace qp {
namespace {

// Catalan, code page 850 (0xB7 is "À").
const std::string kUnknownKey = "CLAU DESCONEGUDA";
const std::string kNotAnAssignment = "CAL CLAU=VALOR";
const std::string kBadValue = "VALOR NO V\xB7LID";

// The codes of a Sí/No setting, as a script gives them (either case).
constexpr const char* kYes = "S";
constexpr const char* kNo = "N";

std::string Assignment(std::string_view key, std::string_view value) {
    return std::string(key) + "=" + std::string(value);
}

}  // namespace

SettingsScript::SettingsScript(ReceiptSettings& settings, FormTables& tables, Translator& translator)
    : settings_(settings), tables_(tables), translator_(translator) {}

void SettingsScript::Problem(ScriptResult& result, int exitCode, const std::string& catalan,
                             const std::string& subject) {
    result.messages.push_back({translator_.Translate(catalan) + (subject.empty() ? "" : ": " + subject), {}});
    // A usage error outweighs a bad value.
    if (result.exitCode != kScriptUsage) result.exitCode = exitCode;
}

bool SettingsScript::Loaded(ScriptResult& result) {
    settings_.LoadReceiptSettings();
    if (settings_.Reading().state != FileReading::State::Refused) return true;
    result.messages.push_back(RefusedFileMessage(translator_, settings_.Path(), settings_.Reading()));
    result.exitCode = kScriptNoInput;
    return false;
}

ScriptResult SettingsScript::Get(const std::vector<std::string>& keys) {
    ScriptResult result;
    std::vector<int> wanted;
    for (const std::string& key : keys) {
        if (std::optional<int> setting = ReceiptSettings::FindKey(key))
            wanted.push_back(*setting);
        else
            Problem(result, kScriptUsage, kUnknownKey, key);
    }
    if (keys.empty())
        for (int k = 0; k < ReceiptSettings::kSettingCount; ++k) wanted.push_back(k);
    if (result.exitCode != kScriptDone || !Loaded(result)) return result;
    for (int k : wanted)
        result.output += Assignment(ReceiptSettings::Key(k), TrimTrailingBlanks(tables_.Item(1, k + 1).Value)) + "\n";
    return result;
}

std::optional<std::string> SettingsScript::Checked(int setting, const std::string& value) {
    const FormItem& item = tables_.Item(1, setting + 1);
    if (ReceiptSettings::RowCount(setting + 1) > 0) {
        // A row is a whole number that fits the item, as the editor takes it.
        if (IsBlank(value) || InvalidNumberText(value, "") || static_cast<int>(value.size()) > item.Length)
            return std::nullopt;
        return value;
    }
    std::string upper = UpperForCompare(value);
    if (upper != kYes && upper != kNo) return std::nullopt;
    return upper;
}

std::string SettingsScript::Accepted(int setting) {
    if (ReceiptSettings::RowCount(setting + 1) == 0) return std::string(kYes) + ", " + kNo;
    const int digits = std::clamp<int>(tables_.Item(1, setting + 1).Length, 1, 9);
    int largest = 0;
    for (int d = 0; d < digits; ++d) largest = largest * 10 + 9;
    return "0-" + std::to_string(largest);
}

void SettingsScript::CheckPlan(ScriptResult& result) {
    RowPlanFault fault = settings_.CheckRowPlan();
    if (fault != RowPlanFault::None) Problem(result, kScriptBadValue, RowPlanMessage(fault), "");
}

ScriptResult SettingsScript::Set(const std::vector<std::string>& assignments) {
    ScriptResult result;
    std::vector<std::pair<int, std::string>> values;
    for (const std::string& assignment : assignments) {
        std::size_t equals = assignment.find('=');
        if (equals == std::string::npos || equals == 0) {
            Problem(result, kScriptUsage, kNotAnAssignment, assignment);
            continue;
        }
        std::optional<int> setting = ReceiptSettings::FindKey(assignment.substr(0, equals));
        if (!setting) {
            Problem(result, kScriptUsage, kUnknownKey, assignment.substr(0, equals));
            continue;
        }
        std::optional<std::string> value = Checked(*setting, assignment.substr(equals + 1));
        if (!value) {
            Problem(result, kScriptBadValue, kBadValue, assignment + " (" + Accepted(*setting) + ")");
            continue;
        }
        values.emplace_back(*setting, std::move(*value));
    }
    if (result.exitCode != kScriptDone) return result;

    // One reading of Tarn.ini, under the save's lock: the values are set over
    // what it holds, the plan is checked on the result, and nothing is
    // written when nothing changes or the plan fails.
    SaveResult saved = settings_.SaveValues(values);
    if (saved.plan != RowPlanFault::None) {
        Problem(result, kScriptBadValue, RowPlanMessage(saved.plan), "");
    } else if (!saved.status) {
        // The save opens no file that may not be read: such a Tarn.ini is
        // named as every other mode names it.
        if (!Loaded(result)) return result;
        result.messages.push_back(SaveFailureMessage(translator_, settings_.Path(), saved.status));
        result.exitCode = kScriptNotSaved;
    } else if (saved.made && settings_.Modified()) {
        // A wrong MURROOT shows at once.
        const std::string native = NativePath(settings_.Path());
        result.messages.push_back(Say(translator_, Said::FileCreated, native.empty() ? settings_.Path() : native));
    }
    return result;
}

ScriptResult SettingsScript::Check() {
    ScriptResult result;
    if (!Loaded(result)) return result;
    std::array<std::string, ReceiptSettings::kSettingCount> values;
    for (int k = 0; k < ReceiptSettings::kSettingCount; ++k) {
        values[static_cast<std::size_t>(k)] = tables_.Item(1, k + 1).Value;
        std::string value = TrimTrailingBlanks(values[static_cast<std::size_t>(k)]);
        if (!Checked(k, value))
            Problem(result, kScriptBadValue, kBadValue, Assignment(ReceiptSettings::Key(k), value) + " (" + Accepted(k) + ")");
    }
    CheckPlan(result);
    // Rows kept for the day the old format is switched on: a warning only.
    if (!IsYes(values[0])) {
        values[0] = kYes;
        const RowPlanFault fault = ReceiptSettings::RowPlanOf(values);
        if (fault != RowPlanFault::None)
            result.messages.push_back(Say(translator_, Said::WithOldFormat, translator_.Translate(RowPlanMessage(fault))));
    }
    return result;
}

}  // namespace qp
