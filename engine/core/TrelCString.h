// Kept so that games including the old path still build; the header now lives in
// base/TrelCString.h.
#include "base/TrelCString.h"
