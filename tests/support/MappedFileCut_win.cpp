#include "MappedFileCut.h"

bool MappedFileCut::allowed()
{
    return false;
}
