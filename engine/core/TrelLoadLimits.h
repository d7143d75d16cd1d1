// Kept so that games including the old path still build; the header now lives in
// base/TrelLoadLimits.h.
#include "base/TrelLoadLimits.h"
