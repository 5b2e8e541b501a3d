// The output configuration window: one output's driver (polarity, auto-squelch, drive
// strength), low-speed divider use, pulse width, stop settings and phase alignment, with a
// drawn view of its divider chain (VCO, HSDIV, MSDIV, LSDIV, P and N) and each stage's
// frequency. Every change goes through the ordinary editing flow at once.
#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QWidget>
#include <array>
#include <functional>

#include "app/device_settings.h"
#include "app/windows/field_edit.h"

class KovaSession;

// The divider chain of one output, drawn as boxes from the VCO to the P and N outputs.
class DividerChainView : public QWidget {
  Q_OBJECT
 public:
  struct stage_s {
    QString name;   // "VCO", "HSDIV1", "MSDIV", "LSDIV", "OC1P", "OC1N"
    QString value;  // the divider ("/ 4"), empty for the VCO and the outputs
    QString freq;   // MHz, or dashes when the stage carries no clock
    bool used = true;
  };
  explicit DividerChainView(QWidget *parent = nullptr);
  // Stages 0 to 3 in a row (VCO, HSDIV, MSDIV, LSDIV), then P and N; p_from_lsdiv and
  // n_from_lsdiv tell which box feeds each output.
  void setChain(const std::array<stage_s, 6> &stages, bool p_from_lsdiv, bool n_from_lsdiv);
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent *event) override;

 private:
  std::array<stage_s, 6> stages_;
  bool pFromLsdiv_ = false, nFromLsdiv_ = false;
};

class OutputConfigForm : public QWidget {
  Q_OBJECT
 public:
  explicit OutputConfigForm(KovaSession *session, QWidget *parent = nullptr);
  int channel() const { return channel_; }

 public slots:
  // Shows output index (0 to 2: OC1 to OC3).
  void selectChannel(int index);

 private:
  // Stores the record after edit changed it, and applies it to the configuration.
  void apply(const std::function<void(__dev_OutputClockConfigS *)> &edit, bool phase_enable_too = false);
  void refreshControls();
  void refreshStatus();

  KovaSession *session_;
  int channel_ = 0;
  bool loading_ = false;
  __dev_OutputClockConfigS record_{};
  QComboBox *channelCombo_, *drive_, *stopMode_, *stopSource_;
  QLabel *driveLabel_, *formatText_;
  QCheckBox *invert_, *squelch_, *nLsdiv_, *lsdivStatus_, *duty50_, *stop_, *highZ_, *align_;
  FieldEdit *pulseWidth_, *phase_;
  QLabel *pulseWidthLabel_, *actualPulseLabel_, *actualPulse_, *actualPhase_;
  QLabel *source_, *hsdivFreq_, *pFreqLabel_, *pFreq_, *nFreqLabel_, *nFreq_, *msdiv_, *lsdiv_;
  DividerChainView *chain_;
};
