#pragma once
// Sounds. Every sound of the programs goes through here, so that tests see the requests (ui_script.h)
// instead of hearing them.
#include <functional>
#include <string>

namespace platform::ui {

// Told, once and on the GUI thread, why a sound was not played.
using SoundFailure = std::function<void(const std::string& why)>;

// Starts playing the WAV file at `path` and returns at once; the sound plays on while the program goes
// on. A missing or unreadable file, a link or anything but a regular file, or a machine without an audio
// output, plays nothing and tells `failed`. A new sound stops the one still playing. Call on the GUI
// thread.
void PlaySoundAsync(const std::string& path, SoundFailure failed = {});

}  // namespace platform::ui
