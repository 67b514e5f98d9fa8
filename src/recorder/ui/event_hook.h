#pragma once
// An event filter that hands the events of the objects it watches to a function: clicks on labels, the
// presses and moves over a grid's cells, the window's key preview.
#include <QObject>
#include <functional>
#include <utility>

class QEvent;

namespace recorder {

class EventHook final : public QObject {
 public:
  // True from the handler: the event was used and goes no further.
  using Handler = std::function<bool(QObject* watched, QEvent* event)>;

  EventHook(QObject* parent, Handler handler) : QObject(parent), handler_(std::move(handler)) {}

  bool eventFilter(QObject* watched, QEvent* event) override { return handler_(watched, event); }

 private:
  Handler handler_;
};

}  // namespace recorder
