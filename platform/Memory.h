#pragma once

#include <QtGlobal>

// Large blocks freed by a decode stay with the thread that freed them, for
// its next decode, instead of going back to the system and being faulted in
// and zeroed again (blocks up to 32 MB, the allocator's limit).
void keepFreedBlocksForReuse();

// The largest resident memory of this process so far, in bytes.
qint64 peakResidentBytes();
