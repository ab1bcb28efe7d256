#include "EdfAnnotationFault.h"

#include "WindowsSuite.h"

// The fault is the test program's own edfwrite_annotation_utf8(), which a DLL's callers never reach.
EdfAnnotationFault::EdfAnnotationFault()
{
    linuxOnlyStep("EdfAnnotationFault");
}

EdfAnnotationFault::~EdfAnnotationFault() = default;

int EdfAnnotationFault::failures() const
{
    return 0;
}

bool EdfAnnotationFault::isPossible()
{
    return false;
}
