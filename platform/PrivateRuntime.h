#pragma once

// Qt wants a private runtime folder ($XDG_RUNTIME_DIR), which a desktop
// session provides. Where none is set (a script, a service), makes one with
// a unique name in the temporary folder (marquee-runtime-PID-XXXXXX),
// readable by this user alone, and removes it at exit; those of this user's
// earlier runs that were killed are removed first.
void usePrivateRuntimeFolder();
