#include "base/TrelLoadLimits.h"

namespace {

// Loading happens on the main thread only, as the rest of the engine's work does.
TrelLoadLimits current;

} // namespace

const TrelLoadLimits& TrelLoadLimits::get() {
    return current;
}

void TrelLoadLimits::set(const TrelLoadLimits& limits) {
    current = limits;
}
