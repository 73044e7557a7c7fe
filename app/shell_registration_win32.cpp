// Registration of the diagram file types with the shell. The registry
// entries are written by the shell-registration part; until it is there,
// registration reports that nothing was registered, so that start-up keeps
// the cross-reference items as they are and "initialize" ends at once.
#include "app/frame_win32.h"

bool registerFileTypes(bool force) {
    diagnosticsLine("register %s", force ? "forced" : "normal");
    return false;
}
