#pragma once
// Which items of the spectrum window's menu are offered, in each state of the window.
#include <cstdint>

namespace analysis {

struct SpectrumMenuStates {
  bool spektr = false, N_XYZ = false, B3_Bcex = false, Bza_sp = false, CBAH1 = false, Fft1 = false,
       summ = false, cur = false, LB_s = false, cmena = false, ToFile = false, N_forma = false,
       forACH = false;
};

// State 0: just shown; state 1: after a computation or a cursor toggle (or the parameter panel closed).
// The items that work on the last spectrum need one `computed`. Transform lengths above 8192 take away
// the cross-spectrum and response items in every state.
SpectrumMenuStates SpectrumMenus(int state, bool cursorMode, bool computed, int32_t intervalCount,
                                 uint32_t fftLength);

}  // namespace analysis
