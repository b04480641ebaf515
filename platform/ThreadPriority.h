#pragma once

// Lowers the calling thread's scheduling priority to nice 10, for work that
// must leave a core to the window's thread when both want one: with it the
// window's thread gets about nine tenths of a contested core. Only this
// thread changes, and it is never raised again.
void lowerThisThreadPriority();
