#pragma once

#include <QtGlobal>

// The largest resident memory of this process so far, in bytes.
qint64 peakResidentBytes();
