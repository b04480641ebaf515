#pragma once

// Qt wants a private runtime folder ($XDG_RUNTIME_DIR), which a desktop
// session provides. Where none is set (a script, a service), makes one with
// a unique name in the temporary folder, readable by this user alone, and
// removes it at exit.
void usePrivateRuntimeFolder();
