// Kept so that games including the old path still build; the header now lives in base/TrelExport.h.
#include "base/TrelExport.h"
