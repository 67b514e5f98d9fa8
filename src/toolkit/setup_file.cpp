#include "toolkit/setup_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/output_file.h"
#include "toolkit/funk.h"

namespace toolkit {

std::string ProgramDir;

namespace {

enum class WriteOutcome { Ok, CannotCreate, ShortWrite };

// Writes `size` bytes to a fresh temporary file beside `path`, flushes it to the disk and renames it
// over `path`; a `path` that is a link is refused. On any failure `path` is left as it was.
WriteOutcome WriteFileAtomically(const std::string& path, const void* data, size_t size,
                                 platform::OutputError* why = nullptr) {
  platform::ReplacingFile out;
  if (!out.Open(path, why)) return WriteOutcome::CannotCreate;
  if (std::fwrite(data, 1, size, out.get()) != size) return WriteOutcome::ShortWrite;
  return out.Commit() ? WriteOutcome::Ok : WriteOutcome::ShortWrite;
}

}  // namespace

std::string SetupFilePath(const std::string& programDir) {
  if (programDir.empty() || programDir.back() == '/') return programDir + kSetupFileName;
  return programDir + "/" + kSetupFileName;
}

SetupLoadResult LoadSetupFile(const std::string& path, SetupRecord& setup, const std::string& programDir) {
  SetupLoadResult result;
  // Only a regular file is read: a FIFO or a device planted at the name would hold the start up.
  if (std::FILE* f = platform::OpenForReading(path)) {
    long length = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) length = std::ftell(f);
    std::rewind(f);
    const size_t got = std::fread(&setup, 1, sizeof setup, f);
    std::fclose(f);
    if (length == static_cast<long>(sizeof setup) && got == sizeof setup) {
      result.how = SetupLoad::FromFile;
      result.fieldsMended = SanitizeSetup(setup);
      return result;
    }
  }
  SetSetupDefaults(setup, programDir);
  result.how = SetupLoad::Defaults;
  platform::OutputError why;
  if (WriteFileAtomically(path, &setup, sizeof setup, &why) != WriteOutcome::Ok) {
    result.error = {true, "Can't write setup file!!!", ""};
    // What holds the name when it is no file to replace: a link, a FIFO, a folder.
    if (why.code == ELOOP || why.code == EINVAL) result.error.text += "\n" + why.text;
  }
  return result;
}

SetupFileError SaveSetupFile(const std::string& path, const SetupRecord& setup) {
  switch (WriteFileAtomically(path, &setup, sizeof setup)) {
    case WriteOutcome::Ok:
      return {};
    case WriteOutcome::CannotCreate:
      return {true, "Can't open <qvd.0>", "ERROR"};
    case WriteOutcome::ShortWrite:
      break;
  }
  return {true, "Can't wtite <qvd.0>", "ERROR"};
}

SetupFileError TFunk::ReadWriteSetup(int mode) {
  if (Setup == nullptr) return {true, "Can't open <qvd.0>", "ERROR"};
  const std::string path = SetupFilePath(ProgramDir);
  if (mode == 0) return LoadSetupFile(path, *Setup, ProgramDir).error;
  return SaveSetupFile(path, *Setup);
}

}  // namespace toolkit
