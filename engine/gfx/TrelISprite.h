// Kept so that games including the old path still build; the header now lives in
// asset/TrelISprite.h.
#include "asset/TrelISprite.h"
