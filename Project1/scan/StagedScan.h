// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "Controls.h"
#include "FileFunctions.h"

#include <cstdint>

namespace scan {

// The window's scan counter. Ticks that arrive while a verdict box is open keep raising it,
// for as long as the box stays open, so it must never wrap.
using TickCounter = std::int64_t;

// What "Search Viruses" does: switch Timer1 on. A scan already counting simply goes on.
void searchCommand(platform::Controls &controls);

// One tick of Timer1: the stages at ticks 1, 5 and 10, and at 10 the check of the
// selected volume, the verdict, the contents and the return to rest. Every action stands
// alone: one that fails is abandoned and the sequence goes on. Safe to re-enter from the
// verdict box's event loop.
void tickSequence(TickCounter &tickCount, platform::Controls &controls, platform::FileFunctions &files);

} // namespace scan
