// The entity lists are built: this name only forwards to world/bod.h until its includers move.
#pragma once
#include "world/bod.h"
