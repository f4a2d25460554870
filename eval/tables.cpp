#include "eval/tables.h"

namespace zv {

// Placeholder until the tables land.
const int32_t SinTable[1024] = {};
const int32_t CosTable[1024] = {};
const int32_t TanTable[1024] = {};

}  // namespace zv
