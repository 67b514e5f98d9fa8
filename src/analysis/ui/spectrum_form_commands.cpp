// Menu slots of the spectrum window whose computations live with the cross-spectrum, response, F(f,t)
// and spectral-temporal commands. Each slot is connected to its menu item; the commands fill them in.
#include <QAction>
#include <QCheckBox>

#include "analysis/ui/spectrum_form.h"

namespace analysis {

// "АЧХ_WZ;": the response ratio.
void TForm_spek::N_XYZClick() {}

// "АЧХ;": the response from the harmonic test signal.
void TForm_spek::forACHClick() {}

// " В ФАЙЛ выше курсора; ": export of the spectrum above the cursor level.
void TForm_spek::N_formaClick() {}

// "F ( f , t );": the spectrogram of the last interval computation.
void TForm_spek::Fft1Click() {}

}  // namespace analysis
