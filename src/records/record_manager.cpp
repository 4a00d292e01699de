#include "records/record_manager.h"

namespace qp {

std::unique_ptr<RecordManager> ChooseRecordManager() {
    if (auto suite = LoadSuiteRecordManager()) return suite;
    return MakeBuiltinEngine();
}

}  // namespace qp
