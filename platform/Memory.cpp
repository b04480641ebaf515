#include "platform/Memory.h"

#include <sys/resource.h>

qint64 peakResidentBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_maxrss) * 1024;
}
