#include "analysis/spectrum_menus.h"

namespace analysis {

SpectrumMenuStates SpectrumMenus(int state, bool cursorMode, bool computed, int32_t intervalCount,
                                 uint32_t fftLength) {
  SpectrumMenuStates m;
  if (state == 0) {
    m.spektr = m.N_XYZ = m.B3_Bcex = m.Bza_sp = m.CBAH1 = m.cmena = m.forACH = true;
  } else if (cursorMode) {
    m.cur = m.N_forma = true;
  } else {
    m.spektr = m.N_XYZ = m.B3_Bcex = m.Bza_sp = m.CBAH1 = m.summ = m.cur = m.LB_s = m.cmena = m.ToFile =
        m.forACH = true;
    m.Fft1 = intervalCount >= 3;
    // Left by "Esc" or "O' k" before anything was computed: no spectrum to redraw, list, write or read.
    if (!computed) m.summ = m.cur = m.LB_s = m.ToFile = m.Fft1 = false;
  }
  if (fftLength > 8192) m.N_XYZ = m.B3_Bcex = m.Bza_sp = false;
  return m;
}

}  // namespace analysis
