#include "editor/receipt_settings.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "config/ini_file.h"
#include "input/choices.h"
#include "text/cp850.h"

namespace qp {
namespace {

constexpr const char* kSection = "Rebut";

struct Setting {
    const char* key;
    const char* defaultValue;
};

// Item k + 1 of screen 1 holds setting k.
constexpr std::array<Setting, ReceiptSettings::kSettingCount> kSettings {{
    {"Antic", "S"},
    {"Fila.Num", "1"},
    {"Fila.Dat", "3"},
    {"Fila.Cnc", "6"},
    {"Fila.Dom", "11"},
    {"Fila.Nom", "13"},
    {"Matriu", "N"},
    {"Duplicat", "N"},
    {"Membret", "S"},
}};

// Printed rows taken by the blocks of items 2 to 6: number, date, concept,
// address, name.
constexpr std::string_view kRowCounts = "011516";
constexpr int kFirstRowItem = 2;
constexpr int kLastRowItem = 6;

}  // namespace

bool IsYes(std::string_view value) { return value == "S"; }

std::string ChoiceDescription(const FormItem& item) {
    const std::vector<Choice> choices = ParseChoices(item.Options);
    const std::optional<std::size_t> found =
        FindChoice(choices, item.Value, static_cast<std::size_t>(std::max<int>(item.Length, 0)));
    return found ? choices[*found].description : item.Value;
}

FileReading ReadingOf(Platform& platform, const std::string& path, std::string problem, bool tooManyLines) {
    FileReading reading;
    const std::optional<FileStamp> stamp = problem.empty() ? std::nullopt : platform.Stamp(path);
    reading.state = !problem.empty()         ? FileReading::State::Refused
                    : platform.Exists(path) ? FileReading::State::Read
                                            : FileReading::State::Missing;
    reading.problem = std::move(problem);
    reading.tooLarge = stamp && stamp->size > kLargeFileLimit;
    reading.tooManyLines = tooManyLines;
    return reading;
}

IniDocument ReadConfigurationFile(Platform& platform, const std::string& path, FileReading& reading) {
    std::string problem;
    bool tooManyLines = false;
    IniDocument file = IniDocument::Read(platform, path, kLargeFileLimit, &problem, &tooManyLines);
    reading = ReadingOf(platform, path, std::move(problem), tooManyLines);
    return file;
}

ReceiptSettings::ReceiptSettings(Platform& platform, FormTables& tables, std::string tarnIni)
    : own_(std::make_unique<IniReading>(platform, std::move(tarnIni), kLargeFileLimit)),
      tarnIni_(*own_),
      platform_(platform),
      path_(tarnIni_.path()),
      tables_(tables) {}

ReceiptSettings::ReceiptSettings(FormTables& tables, IniReading& tarnIni)
    : tarnIni_(tarnIni), platform_(tarnIni.platform()), path_(tarnIni.path()), tables_(tables) {}

std::string_view ReceiptSettings::Key(int setting) { return kSettings.at(static_cast<std::size_t>(setting)).key; }

std::optional<int> ReceiptSettings::FindKey(std::string_view key) {
    for (int k = 0; k < kSettingCount; ++k)
        if (UpperForCompare(key) == UpperForCompare(kSettings[static_cast<std::size_t>(k)].key)) return k;
    return std::nullopt;
}

int ReceiptSettings::RowCount(int item) {
    if (item < kFirstRowItem || item > kLastRowItem) return 0;
    return kRowCounts[static_cast<std::size_t>(item - 1)] - '0';
}

ReceiptSettings::Values ReceiptSettings::ValuesIn(const IniView& file) {
    Values values;
    for (int k = 0; k < kSettingCount && tables_.HasItem(1, k + 1); ++k) {
        FormItem item = tables_.Item(1, k + 1);
        item.Assign(file.Value(kSection, kSettings[static_cast<std::size_t>(k)].key));
        if (IsBlank(item.Value)) item.Assign(kSettings[static_cast<std::size_t>(k)].defaultValue);
        values[static_cast<std::size_t>(k)] = item.Value;
    }
    return values;
}

void ReceiptSettings::Show(const Values& values) {
    for (int k = 0; k < kSettingCount && tables_.HasItem(1, k + 1); ++k)
        tables_.Item(1, k + 1).Value = values[static_cast<std::size_t>(k)];
}

void ReceiptSettings::LoadReceiptSettings() {
    modified_ = false;
    // No lock for reading: a save puts the new file in place in one step, so
    // this reads the old file or the new one, whole.
    loaded_ = ValuesIn(tarnIni_.Fresh().View());
    reading_ = ReadingOf(platform_, path_, tarnIni_.Problem(), tarnIni_.TooManyLines());
    Show(loaded_);
}

RowPlanFault ReceiptSettings::RowPlanOf(const std::array<std::string, kSettingCount>& values) {
    if (!IsYes(values[0])) return RowPlanFault::None;
    long next = 0;
    for (int i = kFirstRowItem; i <= kLastRowItem; ++i) {
        long row = NumericValue(values[static_cast<std::size_t>(i - 1)]);
        if (next > row) return RowPlanFault::Order;
        next = row + RowCount(i);
    }
    return next > kPrintedRows ? RowPlanFault::Margin : RowPlanFault::None;
}

RowPlanFault ReceiptSettings::CheckRowPlan() {
    if (!tables_.HasItem(1, kLastRowItem)) return RowPlanFault::None;
    Values values;
    for (int k = 0; k < kSettingCount && tables_.HasItem(1, k + 1); ++k)
        values[static_cast<std::size_t>(k)] = tables_.Item(1, k + 1).Value;
    return RowPlanOf(values);
}

// The nine keys are written in one rewrite of Tarn.ini: a failure on the
// fifth key must not leave a file in which four settings are new and five old.
SaveResult ReceiptSettings::SaveReceiptSettings() {
    SaveResult result;
    result.status = RewriteFile(platform_, path_, [&](const RewriteTarget& current, std::string& replacement) {
        // Under the rewrite lock: what the file holds now is what is merged.
        result.made = !current.exists;
        const IniView file(current.bytes);
        Values now = ValuesIn(file);
        Values merged;
        for (std::size_t k = 0; k < kSettingCount && tables_.HasItem(1, static_cast<int>(k) + 1); ++k) {
            const std::string& mine = tables_.Item(1, static_cast<int>(k) + 1).Value;
            bool changedHere = mine != loaded_[k];
            merged[k] = changedHere ? mine : now[k];
            if (!changedHere && now[k] != loaded_[k]) result.merged = true;
        }
        loaded_ = now;
        Show(merged);
        return RewriteWithItems(file, result, replacement);
    });
    return Finished(result);
}

SaveResult ReceiptSettings::SaveValues(const std::vector<std::pair<int, std::string>>& values) {
    SaveResult result;
    result.status = RewriteFile(platform_, path_, [&](const RewriteTarget& current, std::string& replacement) {
        // Loaded, changed and written in one reading, under the rewrite lock.
        result.made = !current.exists;
        const IniView file(current.bytes);
        loaded_ = ValuesIn(file);
        Show(loaded_);
        modified_ = false;
        for (const auto& [setting, text] : values) {
            FormItem& item = tables_.Item(1, setting + 1);
            if (FitWidth(text, static_cast<std::size_t>(std::max<int>(item.Length, 0))) == item.Value) continue;
            item.Assign(text);
            modified_ = true;
        }
        if (!modified_) {
            replacement = current.bytes;
            return Status::Ok();
        }
        return RewriteWithItems(file, result, replacement);
    });
    return Finished(result);
}

// The file with the nine values the items hold, when their plan holds.
Status ReceiptSettings::RewriteWithItems(const IniView& file, SaveResult& result, std::string& replacement) {
    result.plan = CheckRowPlan();
    if (result.plan != RowPlanFault::None) return Status::Fail("the row plan does not hold");
    std::vector<IniChange> changes;
    for (std::size_t k = 0; k < kSettingCount && tables_.HasItem(1, static_cast<int>(k) + 1); ++k)
        changes.push_back({kSettings[k].key, tables_.Item(1, static_cast<int>(k) + 1).Value});
    return file.Rewrite(kSection, changes, replacement);
}

SaveResult ReceiptSettings::Finished(SaveResult result) {
    if (result.plan != RowPlanFault::None) result.status = Status::Ok();
    // What is in the file now is what the next save merges against.
    if (result.ok()) {
        for (std::size_t k = 0; k < kSettingCount && tables_.HasItem(1, static_cast<int>(k) + 1); ++k)
            loaded_[k] = tables_.Item(1, static_cast<int>(k) + 1).Value;
    }
    return result;
}

std::string ReceiptFormFault(const FormTables& tables) {
    int items = tables.screens.empty() ? 0 : tables.screens.front().ItemCount;
    if (items >= ReceiptSettings::kSettingCount) return {};
    return "screen 1 must hold the nine receipt settings as its items 1 to 9, but it has " + std::to_string(items) +
           (items == 1 ? " item" : " items");
}

}  // namespace qp
