#include "editor/receipt_settings.h"

#include <array>
#include <optional>
#include <string_view>
#include <utility>

#include "config/ini_file.h"
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
constexpr long kPrintedRows = 25;

constexpr int kNameAttempts = 100;

std::string DirectoryPart(const std::string& path) {
    std::size_t cut = path.find_last_of(":\\/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

Status Failure(const std::string& what, const std::string& reason) {
    return Status::Fail(reason.empty() ? what : what + ": " + reason);
}

}  // namespace

ReceiptSettings::ReceiptSettings(Platform& platform, FormTables& tables, std::string tarnIni)
    : platform_(platform), tables_(tables), tarnIni_(std::move(tarnIni)) {}

void ReceiptSettings::LoadReceiptSettings() {
    modified_ = false;
    for (int k = 0; k < kSettingCount; ++k)
        if (tables_.HasItem(1, k + 1)) tables_.Item(1, k + 1).Assign(ReadIniKey(platform_, tarnIni_, kSection, kSettings[k].key));
    for (int k = 0; k < kSettingCount; ++k) {
        if (!tables_.HasItem(1, k + 1)) continue;
        FormItem& item = tables_.Item(1, k + 1);
        if (IsBlank(item.Value)) item.Assign(kSettings[k].defaultValue);
    }
}

RowPlanFault ReceiptSettings::CheckRowPlan() {
    if (!tables_.HasItem(1, kLastRowItem) || tables_.Item(1, 1).Value != "S") return RowPlanFault::None;
    long next = 0;
    for (int i = kFirstRowItem; i <= kLastRowItem; ++i) {
        long row = NumericValue(tables_.Item(1, i).Value);
        if (next > row) return RowPlanFault::Order;
        next = row + (kRowCounts[static_cast<std::size_t>(i - 1)] - '0');
    }
    return next > kPrintedRows ? RowPlanFault::Margin : RowPlanFault::None;
}

// The nine keys are written into a copy of Tarn.ini that replaces the file
// in one step at the end: a failure on the fifth key must not leave a file
// in which four settings are new and five old.
Status ReceiptSettings::SaveReceiptSettings() {
    std::string original;
    if (platform_.Exists(tarnIni_)) {
        std::optional<std::string> bytes = ReadWholeFile(platform_, tarnIni_);
        if (!bytes) return Failure("cannot read " + tarnIni_, "");
        original = std::move(*bytes);
    }
    std::string copy = WorkingCopyName();
    if (copy.empty()) return Failure("no free name for a working copy beside " + tarnIni_, "");

    std::string reason;
    std::unique_ptr<File> file = platform_.Open(copy, OpenMode::CreateExclusive, &reason);
    if (!file) return Failure("cannot create the working copy " + copy, reason);
    Status status = file->WriteAt(0, original.data(), original.size());
    if (status) status = file->Sync();
    file.reset();
    if (!status) {
        platform_.Remove(copy);
        return Failure("cannot write the working copy " + copy, status.reason);
    }

    for (int k = 0; k < kSettingCount && tables_.HasItem(1, k + 1); ++k) {
        status = WriteIniKey(platform_, copy, kSection, kSettings[k].key, tables_.Item(1, k + 1).Value);
        if (!status) {
            platform_.Remove(copy);
            return Failure("cannot store " + std::string(kSettings[k].key), status.reason);
        }
    }
    status = platform_.Replace(copy, tarnIni_);
    if (!status) {
        platform_.Remove(copy);
        return Failure("cannot replace " + tarnIni_, status.reason);
    }
    return Status::Ok();
}

// A name beside Tarn.ini, so that the final replace stays on one file system.
std::string ReceiptSettings::WorkingCopyName() {
    std::string directory = DirectoryPart(tarnIni_);
    Random random(static_cast<std::uint64_t>(platform_.HundredthsSinceMidnight()));
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string name = directory + "QPL";
        for (int digit = 0; digit < 5; ++digit) name += static_cast<char>('0' + random.Below(10));
        name += ".tmp";
        if (!platform_.Exists(name)) return name;
    }
    return {};
}

std::string ReceiptFormFault(const FormTables& tables) {
    int items = tables.screens.empty() ? 0 : tables.screens.front().ItemCount;
    if (items >= ReceiptSettings::kSettingCount) return {};
    return "screen 1 must hold the nine receipt settings as its items 1 to 9, but it has " + std::to_string(items) +
           (items == 1 ? " item" : " items");
}

}  // namespace qp
