// Menu slots of the spectrum window whose computations live with the cross-spectrum, response, F(f,t)
// and spectral-temporal commands. Each slot is connected to its menu item; the commands fill them in.
#include <QAction>
#include <QCheckBox>

#include "analysis/ui/spectrum_form.h"

namespace analysis {

// "вз-й спектр" and "вз-й всех;" (told apart by `sender`): cross-spectra, transfer and coherence.
void TForm_spek::Bza_spClick(QAction* sender) { (void)sender; }

// "Только перед. функция": cycles TransferMode.
void TForm_spek::H_i_KOGERClick() {}

// "CBAH;": the spectral-temporal analysis of the selection.
void TForm_spek::CBAH1Click() {
  RedrawValid = 0;
  const bool summWasEnabled = summ->isEnabled();
  summ->setEnabled(false);
  CB_am_spClick();
  RunSpectralTemporalAnalysis(S().Nn, S().Nk, static_cast<float>(S().Dt));
  if (summWasEnabled) summ->setEnabled(true);
}

void TForm_spek::RunSpectralTemporalAnalysis(int32_t first, int32_t end, float dt) {
  (void)first;
  (void)end;
  (void)dt;
}

}  // namespace analysis
