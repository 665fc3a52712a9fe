#include "kestrinicons.h"

// The pictures themselves are compiled in as Qt resources; this unit only gives the static
// library an object of its own.
