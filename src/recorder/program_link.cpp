#include "recorder/program_link.h"

namespace recorder {

UnitLink* Link = nullptr;

}  // namespace recorder
