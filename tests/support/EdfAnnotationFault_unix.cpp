#include "EdfAnnotationFault.h"

#include <atomic>
#include <dlfcn.h>

namespace {

std::atomic<bool> armed{false};
std::atomic<int> failureCount{0};

} // namespace

// Declared as <edflib.h> declares it, which the test support does not include.
extern "C" int edfwrite_annotation_utf8(int handle, long long onset, long long duration, const char *description)
{
    using Write = int(int, long long, long long, const char *);
    static const auto edflibWrite = reinterpret_cast<Write *>(::dlsym(RTLD_NEXT, "edfwrite_annotation_utf8"));
    if (armed.load()) {
        ++failureCount;
        return -1;
    }
    return edflibWrite(handle, onset, duration, description);
}

EdfAnnotationFault::EdfAnnotationFault()
{
    failureCount = 0;
    armed = true;
}

EdfAnnotationFault::~EdfAnnotationFault()
{
    armed = false;
}

int EdfAnnotationFault::failures() const
{
    return failureCount.load();
}

bool EdfAnnotationFault::isPossible()
{
    return true;
}
