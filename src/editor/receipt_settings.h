// The nine receipt settings of Tarn.ini section Rebut, held in items 1 to 9
// of screen 1 of the form tables, with their defaults and the row plan rule.
#pragma once

#include <string>

#include "input/form_tables.h"
#include "platform/platform.h"

namespace qp {

enum class RowPlanFault {
    None,    // the plan holds, or the old format is off
    Order,   // a block starts before the one above it ends
    Margin,  // the name block runs past the 25 printed rows
};

class ReceiptSettings {
public:
    // tarnIni is RootDir + "Tarn.ini". The tables must hold screen 1 with at
    // least nine items.
    ReceiptSettings(Platform& platform, FormTables& tables, std::string tarnIni);

    // Fills items 1 to 9 from Tarn.ini, blank values taking their defaults,
    // and clears Modified.
    void LoadReceiptSettings();
    RowPlanFault CheckRowPlan();
    // Writes the nine keys, each value as held with its padding. All or
    // nothing: on failure Tarn.ini is left byte for byte as it was.
    Status SaveReceiptSettings();

    bool Modified() const { return modified_; }
    void SetModified() { modified_ = true; }

    static constexpr int kSettingCount = 9;

private:
    std::string WorkingCopyName();

    Platform& platform_;
    FormTables& tables_;
    std::string tarnIni_;
    bool modified_ = false;
};

// Empty when screen 1 of the tables can hold the nine settings; otherwise
// what is missing, for the start-up message.
std::string ReceiptFormFault(const FormTables& tables);

}  // namespace qp
