#include "acquisition/live_shared.h"

namespace acquisition {

LiveShared::LiveShared(unsigned channels)
    : channels_(channels == 0  ? 1
                : channels > 8 ? 8
                               : channels),
      ring_(static_cast<size_t>(channels_) * kRingColumnsPerChannel),
      autoScale_(channels_) {}

void LiveShared::Publish(int32_t lastColumn) {
  {
    std::lock_guard lock(section_);
    writeIndex_ = lastColumn;
  }
  changed_.notify_all();
}

void LiveShared::Stop() {
  {
    std::lock_guard lock(section_);
    stopped_ = true;
  }
  changed_.notify_all();
}

bool LiveShared::Stopped() const {
  std::lock_guard lock(section_);
  return stopped_;
}

void LiveShared::ResetIndex() {
  std::lock_guard lock(section_);
  if (!stopped_) writeIndex_ = kNothingNew;
}

int32_t LiveShared::Take(std::stop_token token) {
  std::unique_lock lock(section_);
  changed_.wait(lock, token, [this] { return stopped_ || writeIndex_ >= 0; });
  // A column published before the stop is still handed over; after it, only the stop.
  if (token.stop_requested() || writeIndex_ < 0) return kStopIndex;
  const int32_t index = writeIndex_;
  writeIndex_ = kNothingNew;
  return index;
}

int32_t LiveShared::WriteIndex() const {
  std::lock_guard lock(section_);
  return writeIndex_ < 0 && stopped_ ? kStopIndex : writeIndex_;
}

void LiveShared::ResetAutoScale() {
  std::lock_guard lock(scaleMutex_);
  for (Extreme& e : autoScale_) e = Extreme{};
}

void LiveShared::TakeAutoScale(const Extreme* columnExtremes) {
  std::lock_guard lock(scaleMutex_);
  for (unsigned i = 0; i < channels_; ++i) {
    if (columnExtremes[i].Max > autoScale_[i].Max) autoScale_[i].Max = columnExtremes[i].Max;
    if (columnExtremes[i].Min < autoScale_[i].Min) autoScale_[i].Min = columnExtremes[i].Min;
  }
}

std::vector<Extreme> LiveShared::AutoScale() const {
  std::lock_guard lock(scaleMutex_);
  return autoScale_;
}

void LiveShared::SetStatus(const recorder::StatusBlock& status) {
  std::lock_guard lock(statusMutex_);
  status_ = status;
}

recorder::StatusBlock LiveShared::Status() const {
  std::lock_guard lock(statusMutex_);
  return status_;
}

}  // namespace acquisition
