#pragma once

// Called in a child process between fork and exec: the child is sent
// SIGTERM when the process that started it ends, however that ends (a
// crash or kill -9 too), so no helper program outlives its window.
// Async-signal-safe.
void endWithParent();
