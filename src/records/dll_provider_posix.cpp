// The suite's record manager library exists only for Windows.
#include "records/record_manager.h"

namespace qp {

std::unique_ptr<RecordManager> LoadSuiteRecordManager() { return nullptr; }

}  // namespace qp
