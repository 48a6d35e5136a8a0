// SPDX-License-Identifier: MIT
// Compiles the header on its own, so that it keeps including what it uses.
#include "fake_operator.h"
