#include "ProcessSignals.h"

// Standard library
#include <csignal>

namespace ProcessSignals {

void ignoreFileSizeLimit() {
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

} // namespace ProcessSignals
