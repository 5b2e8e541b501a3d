// The one configuration object of the application with the board and the parameter block,
// shared by the main window and every child window. Windows read the object, change it
// through change() (the ordinary editing flow: store, recalculate, write the changed
// registers) and follow the signals to show what came back.
#pragma once
#include <QObject>
#include <functional>

#include "app/main_ops.h"

class KovaSession : public QObject {
  Q_OBJECT
 public:
  explicit KovaSession(QObject *parent = nullptr) : QObject(parent) {}
  ~KovaSession() override { delete_api(&state.hal); }

  main_state_s state;
  // True while controls are loaded from the object: change handlers then do nothing.
  bool refreshing = false;

  hal_api_s *hal() { return &state.hal; }
  __dev_GuiParamS *gui() { return state.gui; }
  bool connected() { return main_connected(&state); }

  // An ordinary change: edit the object, recalculate, write the changes to the chip (or the
  // offline image). Ignored while controls are being loaded. Emits configurationChanged.
  bool change(const std::function<void(hal_api_s *)> &edit) {
    if (refreshing) return false;
    const bool ok = main_ordinary_change(&state, edit);
    emit configurationChanged();
    return ok;
  }

  // Windows reload their controls from the object.
  void notifyConfigurationChanged() { emit configurationChanged(); }
  void notifyStatusRefreshed() { emit statusRefreshed(); }
  void notifyConnectionChanged() { emit connectionChanged(connected()); }

 signals:
  void configurationChanged();
  void statusRefreshed();
  void connectionChanged(bool connected);
};
