// The output clock solver window: how the output dividers are found (the solver chooses,
// the user picks one of its solutions through the cascade of VCO, HSDIV and divider lists,
// or the user types them), with the load that writes the choice into the configuration.
// The rules live in the shell core (app/oc_solver_ops.h); this is its view.
#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>
#include <array>

#include "app/oc_solver_ops.h"
#include "app/windows/field_edit.h"

class KovaSession;

class OCSolverForm : public QWidget {
  Q_OBJECT
 public:
  explicit OCSolverForm(KovaSession *session, QWidget *parent = nullptr);

 private:
  void modeChosen(int32_t mode);
  void listChosen(int list, int row);
  void sourceChosen(int n, int row);
  void fractionClicked();
  void load();
  // The configuration changed elsewhere: the working record starts again from it.
  void reloadFromObject();
  // Shows the working record and the lists.
  void updateThisForm();
  // The main window and the other windows follow a change made here.
  void tellOthers();

  KovaSession *session_;
  oc_solver_form_s form_;
  bool telling_ = false;
  std::array<QRadioButton *, 3> modeButtons_{};
  QPushButton *loadButton_;
  std::array<QComboBox *, OC_LIST_COUNT> lists_{};
  std::array<QComboBox *, 3> sources_{};
  FieldEdit *vcoEdit_;
  QPushButton *vcoFrac_;
  std::array<FieldEdit *, 3> msdivEdits_{}, lsdivEdits_{};
  QCheckBox *bypass_;
  QLabel *apllInput_, *ratio_, *hsdiv1Freq_, *hsdiv2Freq_;
  std::array<QLabel *, 3> msdivFreq_{}, lsdivFreq_{}, ocpFreq_{}, ocnFreq_{};
};
