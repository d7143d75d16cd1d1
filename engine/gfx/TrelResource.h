// Kept so that games including the old path still build; the header now lives in
// asset/TrelResource.h.
#include "asset/TrelResource.h"
