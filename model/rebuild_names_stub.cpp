#include "model/records.h"
namespace zarvex {
void CSortInfo::RebuildNames(bool) {}
}
