#include "platform/ui/sound.h"

#include <QCoreApplication>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QPointer>
#include <QSoundEffect>
#include <QUrl>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "platform/output_file.h"
#include "platform/ui/ui_script.h"

namespace platform::ui {
namespace {

// The one player of the program; it lives as long as the application.
QSoundEffect& Player() {
  static QPointer<QSoundEffect> player;
  if (!player) player = new QSoundEffect(QCoreApplication::instance());
  return *player;
}

}  // namespace

void PlaySoundAsync(const std::string& path, SoundFailure failed) {
  auto fail = [&failed](const std::string& why) {
    if (failed) failed(why);
  };
  if (UiScript* script = ActiveScript()) {
    if (const std::string why = script->PlaySound(path); !why.empty()) fail(why);
    return;
  }
  // Only a regular file is handed to the player, never a link or a FIFO (which would hold the load).
  platform::OutputError why;
  std::FILE* sound = platform::OpenForReading(path, &why);
  if (sound == nullptr) return fail((why.code == ENOENT ? "нет файла " : "не обычный файл ") + path);
  std::fclose(sound);
  const QString file = QString::fromStdString(path);
  if (QMediaDevices::audioOutputs().isEmpty()) return fail("нет звукового устройства");

  QSoundEffect& player = Player();
  player.stop();
  // The answer of the previous sound is no longer wanted.
  QObject::disconnect(&player, &QSoundEffect::statusChanged, nullptr, nullptr);
  auto told = std::make_shared<bool>(false);
  auto onStatus = [&player, failed, told, path] {
    if (*told) return;
    if (player.status() == QSoundEffect::Ready) {
      *told = true;
      player.play();
    } else if (player.status() == QSoundEffect::Error) {
      *told = true;
      if (failed) failed("не проигрывается " + path);
    }
  };
  QObject::connect(&player, &QSoundEffect::statusChanged, &player, onStatus);
  const QUrl url = QUrl::fromLocalFile(file);
  if (player.source() == url) {
    onStatus();  // loaded before: no new status comes
  } else {
    player.setSource(url);
  }
}

}  // namespace platform::ui
