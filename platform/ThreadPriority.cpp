#include "platform/ThreadPriority.h"

#include <sys/resource.h>
#include <unistd.h>

void lowerThisThreadPriority() {
    constexpr int kNice = 10;
    const auto self = static_cast<id_t>(gettid());
    // Linux keeps a nice value for each thread: this one alone is lowered.
    if (getpriority(PRIO_PROCESS, self) < kNice) {
        setpriority(PRIO_PROCESS, self, kNice);
    }
}
