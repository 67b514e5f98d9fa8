#include "toolkit/settings_state.h"

namespace toolkit {

int SettingsResult = kSettingsUnchanged;
SetupRecord* SetupCopy = nullptr;

}  // namespace toolkit
