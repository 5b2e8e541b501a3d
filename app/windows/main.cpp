// kova: the desktop application. Options: -su (super-user mode), -ye (super-user mode, and
// the chip is reset on connection only after asking), -log FILE (the log file, in the
// Desktop folder of the user's profile), --emulated-board DEVICE (an emulated evaluation
// board instead of the USB). For pictures of the windows: --screenshot FILE saves the main
// window (or, with --screenshot-window NAME, that child window) and quits; --config FILE
// loads a configuration first and --connect connects to the first board.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/app_log.h"
#include "app/user_dialog.h"
#include "app/windows/main_window.h"
#include "board/ft_driver.h"
#include "board/kxemu.h"
#include "board/kxkovaio.h"

namespace {

struct options_s {
  std::string emulated, screenshot, screenshot_window, config;
  bool connect = false;
  bool first_frame = false;  // say when the main window first painted, and quit
};

// Quits after the first paint of the watched window, saying how long it took.
struct first_frame_s : QObject {
  QElapsedTimer *clock;
  bool seen = false;
  explicit first_frame_s(QElapsedTimer *c) : clock(c) {}
  bool eventFilter(QObject *o, QEvent *e) override {
    if (e->type() == QEvent::Paint && !seen) {
      seen = true;
      std::printf("first frame after %lld ms\n", static_cast<long long>(clock->elapsed()));
      QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
    return QObject::eventFilter(o, e);
  }
};

// The driver: an emulated board when asked on the command line or in the environment,
// else the USB through libftdi.
bool set_up_driver(const options_s &o) {
  char err[1200];
  if (!o.emulated.empty()) {
    kxemu_config_s cfg{};
    if (const char *state = std::getenv("KOVA_EMULATED_BOARD_STATE"))
      std::snprintf(cfg.state_path, sizeof cfg.state_path, "%s", state);
    if (!kxemu_config_parse(o.emulated.c_str(), &cfg, err, sizeof err) || !kxemu_install(&cfg, err, sizeof err)) {
      std::fprintf(stderr, "kova: --emulated-board %s: %s\n", o.emulated.c_str(), err);
      return false;
    }
    return true;
  }
  const char *env = std::getenv("KOVA_EMULATED_BOARD");
  if (env && *env) {
    if (!kxemu_install_from_env(err, sizeof err)) {
      std::fprintf(stderr, "kova: KOVA_EMULATED_BOARD: %s\n", err);
      return false;
    }
    return true;
  }
  ft_backend_use(ft_libftdi_backend());
  return true;
}

// Connects to the first board of the list for a picture, answering the start-up query
// with the action the picture shows.
void connect_first_board(MainWindow *w) {
  kxKovaIo_BoardListS list{};
  kxKovaIo_UsbLogS log{};
  kxKovaIo_UsbLogOpen(&log);
  __dev_GuiParamS *g = w->session()->gui();
  kxKovaIo_BoardListRefresh(&list, &g->ioHandle, &log);
  if (list.count == 0 || kxKovaIo_BoardConnect(&list, &g->ioHandle, false, &log) != 0) {
    std::fprintf(stderr, "kova: no board to connect to\n");
    return;
  }
  main_connect(&w->session()->state);
  w->session()->notifyConnectionChanged();
  w->session()->notifyConfigurationChanged();
  w->refreshStatus();
}

}  // namespace

int main(int argc, char **argv) {
  QElapsedTimer clock;
  clock.start();
  QApplication app(argc, argv);
  QCoreApplication::setOrganizationName("kova");
  QCoreApplication::setApplicationName("kova");

  __dev_GuiParams = __dev_GuiParamS{};
  options_s o;
  std::vector<std::string> shell_args;
  const QStringList args = QCoreApplication::arguments();
  for (int i = 1; i < args.size(); ++i) {
    const std::string a = args[i].toStdString();
    auto next = [&]() { return i + 1 < args.size() ? args[++i].toStdString() : std::string(); };
    if (a == "--emulated-board") {
      o.emulated = next();
      if (o.emulated.empty()) {
        std::fprintf(stderr, "kova: --emulated-board needs a device, e.g. 40112\n");
        return 2;
      }
    } else if (a == "--screenshot") {
      o.screenshot = next();
    } else if (a == "--screenshot-window") {
      o.screenshot_window = next();
    } else if (a == "--config") {
      o.config = next();
    } else if (a == "--connect") {
      o.connect = true;
    } else if (a == "--first-frame") {
      o.first_frame = true;
    } else if (a == "--help" || a == "-h") {
      std::printf(
          "usage: kova [-su] [-ye] [-log FILE] [--emulated-board DEVICE]\n"
          "  -su                      super-user mode\n"
          "  -ye                      super-user mode; ask before resetting the chip on connection\n"
          "  -log FILE                write the log to FILE in the Desktop folder of your profile\n"
          "  --emulated-board DEVICE  an emulated evaluation board with this chip (e.g. 40112)\n"
          "  --config FILE            load a configuration text file or register dump at start\n"
          "  --connect                connect to the first board at start\n"
          "  --first-frame            print the time from start to the main window's first frame, and quit\n"
          "  --screenshot FILE        save a picture of the main window (or of --screenshot-window\n"
          "                           NAME, a child window by its class name) and quit\n");
      return 0;
    } else {
      shell_args.push_back(a);
    }
  }
  app_parse_args(&__dev_GuiParams, shell_args, QDir::homePath().toStdString());
  if (!set_up_driver(o)) return 2;

  MainWindow w;
  const bool picture = !o.screenshot.empty();
  // A picture is taken without anybody at the screen: messages go to standard error.
  if (picture) {
    app_set_dialog(nullptr);
    w.unattended = true;
  }
  first_frame_s first(&clock);
  if (o.first_frame) w.installEventFilter(&first);
  w.show();
  if (!o.config.empty()) w.loadFile(QString::fromStdString(o.config));
  if (o.connect) connect_first_board(&w);
  if (picture) {
    QWidget *target = &w;
    if (!o.screenshot_window.empty()) {
      target = w.openWindow(QString::fromStdString(o.screenshot_window));
      if (!target) {
        std::fprintf(stderr, "kova: no window named %s\n", o.screenshot_window.c_str());
        return 2;
      }
    }
    QTimer::singleShot(600, &app, [&app, target, &o]() {
      const bool ok = target->grab().save(QString::fromStdString(o.screenshot));
      if (!ok) std::fprintf(stderr, "kova: cannot save %s\n", o.screenshot.c_str());
      app.exit(ok ? 0 : 1);
    });
  }
  const int rc = app.exec();
  kxemu_remove();
  return rc;
}
