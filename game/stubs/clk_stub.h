// The game clock is built: this name only forwards to world/clk.h until its includers move.
#pragma once
#include "world/clk.h"
