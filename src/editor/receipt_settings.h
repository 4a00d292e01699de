// The nine receipt settings of Tarn.ini section Rebut, held in items 1 to 9
// of screen 1 of the form tables, with their defaults and the row plan rule.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "config/ini_file.h"
#include "input/form_tables.h"
#include "platform/platform.h"

namespace qp {

enum class RowPlanFault {
    None,    // the plan holds, or the old format is off
    Order,   // a block starts before the one above it ends
    Margin,  // the name block runs past the 25 printed rows
};

// What a save did.
struct SaveResult {
    Status status;                            // why Tarn.ini could not be written
    RowPlanFault plan = RowPlanFault::None;   // the merged settings fail the plan: nothing written
    bool merged = false;                      // another program's changes were taken in
    bool made = false;                        // there was no Tarn.ini: this save made it
    bool ok() const { return status.ok && plan == RowPlanFault::None; }
};

// What a reading of a configuration file found: no file (its defaults
// apply), the file, or a file that is there but may not be used.
struct FileReading {
    enum class State { Missing, Read, Refused };
    State state = State::Missing;
    std::string problem;    // when refused: the system's words, naming the file
    bool tooLarge = false;      // refused for its size
    bool tooManyLines = false;  // refused for its number of lines
};

// The file at `path` read whole (at most kLargeFileLimit bytes), and what
// the reading found. A refused file reads as empty.
IniDocument ReadConfigurationFile(Platform& platform, const std::string& path, FileReading& reading);
// What a reading of `path` that found `problem` (empty: none) found.
FileReading ReadingOf(Platform& platform, const std::string& path, std::string problem, bool tooManyLines);

class ReceiptSettings {
public:
    static constexpr int kSettingCount = 9;
    static constexpr int kPrintedRows = 25;

    // tarnIni is RootDir + "Tarn.ini". The tables must hold screen 1 with at
    // least nine items.
    ReceiptSettings(Platform& platform, FormTables& tables, std::string tarnIni);
    // Loading through the run's reading of Tarn.ini, shared with its other
    // readers, so that start-up reads the file once.
    ReceiptSettings(FormTables& tables, IniReading& tarnIni);

    // Fills items 1 to 9 from Tarn.ini, blank values taking their defaults,
    // and clears Modified. A Tarn.ini that is there but may not be used
    // gives the defaults too: the caller must look at Reading() and refuse
    // to go on, as nothing it shows or saves would be the file's.
    void LoadReceiptSettings();
    // What the last loading found of Tarn.ini.
    const FileReading& Reading() const { return reading_; }
    const std::string& Path() const { return path_; }
    RowPlanFault CheckRowPlan();
    // Merges and writes the nine keys, each value as held with its padding.
    // Tarn.ini is read again first: a setting the operator did not change
    // since loading takes the file's current value, one the operator changed
    // keeps the operator's. The items then hold the merged values. When the
    // merged plan fails, nothing is written. All or nothing: on failure
    // Tarn.ini is left byte for byte as it was.
    SaveResult SaveReceiptSettings();
    // Loads the settings from Tarn.ini, sets the given values (setting,
    // 0-based, and its text), and saves as SaveReceiptSettings does when
    // anything changed: all in one reading of the file, under the save's
    // lock, for a caller that has nothing to show in between.
    SaveResult SaveValues(const std::vector<std::pair<int, std::string>>& values);

    bool Modified() const { return modified_; }
    void SetModified() { modified_ = true; }

    // The keys in item order ("Antic", "Fila.Num", ...).
    static std::string_view Key(int setting);
    // The setting (0-based) whose key is `key` without regard to case.
    static std::optional<int> FindKey(std::string_view key);
    // Rows that each row item's block takes on the stationery (items 2 to 6);
    // 0 for the other items.
    static int RowCount(int item);
    // The plan of nine values in item order, as CheckRowPlan judges the items.
    static RowPlanFault RowPlanOf(const std::array<std::string, kSettingCount>& values);

private:
    using Values = std::array<std::string, kSettingCount>;
    // The nine values as loading makes them from a file.
    Values ValuesIn(const IniView& file);
    void Show(const Values& values);
    Status RewriteWithItems(const IniView& file, SaveResult& result, std::string& replacement);
    SaveResult Finished(SaveResult result);

    std::unique_ptr<IniReading> own_;
    IniReading& tarnIni_;
    Platform& platform_;
    std::string path_;
    FormTables& tables_;
    bool modified_ = false;
    Values loaded_;  // what Tarn.ini held when last read
    FileReading reading_;
};

// True when a Sí/No value says yes: exactly "S", as the suite's receipt
// printing reads it ("s" is no).
bool IsYes(std::string_view value);
// The description of the choice of `item.Options` whose code is the item's
// value exactly; a value that is no choice's code, as it is.
std::string ChoiceDescription(const FormItem& item);

// Empty when screen 1 of the tables can hold the nine settings; otherwise
// what is missing, for the start-up message.
std::string ReceiptFormFault(const FormTables& tables);

}  // namespace qp
