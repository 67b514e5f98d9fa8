// The toolkit tests' numpy/scipy bridge, shared by the analysis tests.
#include "toolkit/dsp_reference.cpp"  // NOLINT(bugprone-suspicious-include)
