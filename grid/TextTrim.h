#pragma once

// The trim rule lives with the data layer, where imports use it too.
#include "data/TextTrim.h"
