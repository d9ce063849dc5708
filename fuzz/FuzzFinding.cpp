#include "fuzz/FuzzInput.h"

#include <cstdio>
#include <cstdlib>

void FuzzFinding(const char* what)
{
    std::fprintf(stderr, "fuzz finding: %s does not hold\n", what);
    std::abort();
}
