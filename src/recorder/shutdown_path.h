#pragma once
// The one way the recorder-control program's work ends. Whatever runs beside the main window (the
// download, the live reception and drawing, the zero calibration) hooks into it while it runs; when
// the main window closes, for whatever reason, every hooked stopper is run before the window goes, so
// no thread is left running and no file is left half-written.
//
// A worker hooks in when it starts and unhooks (by dropping its Hook) once it has ended:
//
//   hook_ = recorder::Shutdown().Add("TrdBce", [this] {
//     thread_.request_stop();                  // ask it to end...
//     platform::ui::JoinServing(thread_);      // ...and wait, serving its Synchronize calls
//   });
//
// A stopper must return only when its worker has ended and closed its files. Stoppers run on the GUI
// thread, newest first, each once; Add and dropping a Hook are GUI-thread calls too.
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace recorder {

class ShutdownPath {
 public:
  using Stopper = std::function<void()>;

  // Keeps a stopper hooked while it lives; moving it moves the hook.
  class Hook {
   public:
    Hook() = default;
    Hook(Hook&& other) noexcept;
    Hook& operator=(Hook&& other) noexcept;
    Hook(const Hook&) = delete;
    Hook& operator=(const Hook&) = delete;
    ~Hook();
    // Unhooks now.
    void Release();
    bool Active() const { return path_ != nullptr; }

   private:
    friend class ShutdownPath;
    Hook(ShutdownPath* path, uint64_t id) : path_(path), id_(id) {}
    ShutdownPath* path_ = nullptr;
    uint64_t id_ = 0;
  };

  [[nodiscard]] Hook Add(std::string name, Stopper stopper);

  // Runs every hooked stopper, newest first, and unhooks them. A stopper added meanwhile (a worker
  // started by another's end) is run too. Returns how many ran.
  int StopAll();

  // The names of the hooked workers, oldest first.
  std::vector<std::string> Hooked() const;

 private:
  struct Entry {
    uint64_t id;
    std::string name;
    Stopper stopper;
  };
  void Remove(uint64_t id);

  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
  uint64_t nextId_ = 1;
};

// The program's shutdown path.
ShutdownPath& Shutdown();

}  // namespace recorder
