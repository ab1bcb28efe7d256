#pragma once

// While it lives, EDFlib's edfwrite_annotation_utf8() fails, as it does when it cannot grow
// its list of annotations. A test program that uses this class gets its own
// edfwrite_annotation_utf8(), which passes every other call on to EDFlib's.
class EdfAnnotationFault
{
public:
    EdfAnnotationFault();
    ~EdfAnnotationFault();
    EdfAnnotationFault(const EdfAnnotationFault &) = delete;
    EdfAnnotationFault &operator=(const EdfAnnotationFault &) = delete;

    // Where the test program's own function can stand in for EDFlib's: not on Windows, whose
    // DLLs call their own.
    static bool isPossible();
    // The calls that failed so far.
    int failures() const;
};
