#include "editor/settings_script.h"

#include <algorithm>

#include "editor/receipt_messages.h"
#include "format/numbers.h"
#include "text/cp850.h"

namespace qp {
namespace {

// Catalan, code page 850 (0xB7 is "À").
const std::string kUnknownKey = "CLAU DESCONEGUDA";
const std::string kNotAnAssignment = "CAL CLAU=VALOR";
const std::string kBadValue = "VALOR NO V\xB7LID";

std::string Assignment(std::string_view key, std::string_view value) {
    return std::string(key) + "=" + std::string(value);
}

}  // namespace

SettingsScript::SettingsScript(ReceiptSettings& settings, FormTables& tables, Translator& translator)
    : settings_(settings), tables_(tables), translator_(translator) {}

void SettingsScript::Problem(ScriptResult& result, int exitCode, const std::string& catalan, const std::string& detail) {
    result.problems.push_back(translator_.Translate(catalan) + (detail.empty() ? "" : ": " + detail));
    // A usage error outweighs a bad value.
    if (result.exitCode != kScriptUsage) result.exitCode = exitCode;
}

ScriptResult SettingsScript::Get(const std::vector<std::string>& keys) {
    ScriptResult result;
    settings_.LoadReceiptSettings();
    std::vector<int> wanted;
    for (const std::string& key : keys) {
        if (std::optional<int> setting = ReceiptSettings::FindKey(key))
            wanted.push_back(*setting);
        else
            Problem(result, kScriptUsage, kUnknownKey, key);
    }
    if (keys.empty())
        for (int k = 0; k < ReceiptSettings::kSettingCount; ++k) wanted.push_back(k);
    if (result.exitCode != kScriptDone) return result;
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
    if (upper != "S" && upper != "N") return std::nullopt;
    return upper;
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
            Problem(result, kScriptBadValue, kBadValue, assignment);
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
        result.problems.push_back(SaveFailureText(translator_, saved.status));
        result.exitCode = kScriptNotSaved;
    }
    return result;
}

ScriptResult SettingsScript::Check() {
    ScriptResult result;
    settings_.LoadReceiptSettings();
    for (int k = 0; k < ReceiptSettings::kSettingCount; ++k) {
        std::string value = TrimTrailingBlanks(tables_.Item(1, k + 1).Value);
        if (!Checked(k, value)) Problem(result, kScriptBadValue, kBadValue, Assignment(ReceiptSettings::Key(k), value));
    }
    CheckPlan(result);
    return result;
}

}  // namespace qp
