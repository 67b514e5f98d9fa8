#include "analysis/spectrum_menus.h"

namespace analysis {

SpectrumMenuStates SpectrumMenus(int state, bool cursorMode, int32_t intervalCount, uint32_t fftLength) {
  SpectrumMenuStates m;
  if (state == 0) {
    m.spektr = m.N_XYZ = m.B3_Bcex = m.Bza_sp = m.CBAH1 = m.cmena = m.forACH = true;
  } else if (cursorMode) {
    m.cur = m.N_forma = true;
  } else {
    m.spektr = m.N_XYZ = m.B3_Bcex = m.Bza_sp = m.CBAH1 = m.summ = m.cur = m.LB_s = m.cmena = m.ToFile =
        m.forACH = true;
    m.Fft1 = intervalCount >= 3;
  }
  if (fftLength > 8192) m.N_XYZ = m.B3_Bcex = m.Bza_sp = false;
  return m;
}

}  // namespace analysis
