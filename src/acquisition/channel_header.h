#pragma once
// The channel header of a recorder channel in the recording data files the downloads and the live
// registration write: its marks, name, type and the scale from the setup block's coefficient and gain.
#include <cstdint>

#include "recorder/setup_block.h"
#include "toolkit/recording_file.h"

namespace acquisition {

// `recorderChannel` 0..7 selects the name, coefficient and gain; `number` is what the header's Number
// field holds.
toolkit::CHANNEL_HEADER RecorderChannelHeader(const recorder::YSTANOV& setup, unsigned recorderChannel,
                                              uint16_t number);

}  // namespace acquisition
