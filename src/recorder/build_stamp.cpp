// The program's build stamp; this file is compiled with every build of the recorder library.
#include "recorder/session_texts.h"

namespace recorder {

const char* BuildDate() { return __DATE__; }
const char* BuildTime() { return __TIME__; }

}  // namespace recorder
