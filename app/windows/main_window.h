// The main window: the block diagram of the chip with the fields edited in place, the
// commands of the menus, the status refresh and the child windows (each opened at most
// once). Every operation runs through the main window's operations of the shell core.
#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTimer>
#include <array>

#include "app/windows/block_diagram.h"
#include "app/windows/field_edit.h"
#include "app/windows/qt_dialog.h"
#include "app/windows/session.h"

class QToolButton;
class QMimeData;

class MainWindow : public QMainWindow, public main_ui_s {
  Q_OBJECT
 public:
  explicit MainWindow(QWidget *parent = nullptr);
  ~MainWindow() override;

  KovaSession *session() { return session_; }
  // Nobody at the screen (pictures of the windows): the start-up query takes the write
  // action when offered, the initial configuration keeps the object's choices, and no
  // known frequency is given.
  bool unattended = false;

  // Opens a child window by its class name (created once, raised when open); null for an
  // unknown name. The block windows are "Block" followed by the block's name ("BlockIC1").
  QWidget *openWindow(const QString &name);
  // Opens the configuration window of a block of the diagram (main_block_e) on its channel.
  QWidget *openBlockWindow(int block);
  QWidget *childWindow(const QString &name) const { return children_.value(name); }

  // A status refresh (the timer's tick): the chip's status into the object, then every view.
  void refreshStatus();
  // Loads a configuration text file or a register dump (told apart by their contents).
  bool loadFile(const QString &path);
  // A file dropped on the window: the first local file of the drop is loaded.
  bool loadDropped(const QMimeData *mime);
  // The file-name question of a command; tests answer it.
  QString askFileName(bool save, const QString &title, const QString &filter);

  // main_ui_s
  int32_t connect_action(const std::vector<int32_t> &offered) override;
  bool known_frequency(hal_api_s *hal) override;
  void open_initial_config() override;
  void close_child_windows() override;
  bool timer_stop() override;
  void timer_restore(bool was_running) override;
  void timer_start() override;
  void reload_controls() override;
  void board_lost() override;

 protected:
  void closeEvent(QCloseEvent *e) override;
  void dragEnterEvent(QDragEnterEvent *e) override;
  void dropEvent(QDropEvent *e) override;

 private:
  void showInitialConfig();
  void buildMenus();
  void buildPanels();
  void buildSuperUserGroup();
  void loadControls();
  void updateCommands();
  void applyChange(const std::function<void(hal_api_s *)> &edit);
  void applyKeyChange(const std::function<void(hal_api_s *)> &edit);
  void applyFrequency(FieldEdit *edit, fprec_s hal_api_s::*field, const QString &text);
  void calculateFrequency(fprec_s hal_api_s::*field, const QString &title);
  void onBoardConnected();
  void onWorkOffline(int productIndex);
  void onBoardDisconnected();
  void runSave(const QString &title, const QString &filter, const std::function<bool(const std::string &)> &save);
  void addRecent(const QString &path);
  void rebuildRecent();
  void toggleLog();
  void saveDeviceLog();
  void appendLog(const QString &line);
  static void messageSink(const char *msg, void *ctx);

  KovaSession *session_;
  qt_user_dialog_s dialog_;
  QTimer refresh_timer_;
  int poll_period_ms_ = 0;
  QMap<QString, QPointer<QWidget>> children_;
  hal_api_s scratch_{};

  BlockDiagram *diagram_ = nullptr;
  QComboBox *mode_combo_ = nullptr, *poll_combo_ = nullptr;
  QLabel *device_label_ = nullptr, *connection_label_ = nullptr;
  // XA block
  QComboBox *xa_mode_combo_ = nullptr;
  FieldEdit *xa_freq_ = nullptr, *xa_ppm_ = nullptr;
  QCheckBox *xa_disable_ = nullptr;
  QComboBox *ss_type_ = nullptr;
  FieldEdit *ss_pct_ = nullptr, *ss_mod_ = nullptr;
  QDoubleSpinBox *nco_step_ = nullptr;
  QLabel *ss_type_label_ = nullptr, *ss_pct_label_ = nullptr, *ss_mod_label_ = nullptr, *nco_label_ = nullptr;
  // Inputs and outputs
  std::array<QCheckBox *, 3> ic_enable_{};
  std::array<FieldEdit *, 3> ic_freq_{};
  std::array<FieldEdit *, 3> oc_freq_{}, oc_nfreq_{};
  std::array<QComboBox *, 3> oc_format_{};
  std::array<QLabel *, 3> oc_nfreq_label_{};
  // DPLL and APLL blocks
  QComboBox *dpll_mode_ = nullptr;
  FieldEdit *dpll_bw_ = nullptr;
  QCheckBox *ext_switch_ = nullptr;
  QComboBox *apll_src_ = nullptr, *apll_alt_ = nullptr;
  // Super-user group
  QGroupBox *su_group_ = nullptr;
  QCheckBox *disable_calc_ = nullptr;
  QPlainTextEdit *log_view_ = nullptr;
  // Commands whose text or state follows the connection and the mode
  QList<QAction *> super_user_actions_;
  QAction *log_action_ = nullptr, *reset_action_ = nullptr, *reg_cfg_all_ = nullptr, *reg_cfg_changed_ = nullptr;
  QAction *ee_write_ = nullptr, *ee_dump_ = nullptr, *ee_verify_ = nullptr, *dump_regs_ = nullptr;
  QMenu *recent_menu_ = nullptr;
};
