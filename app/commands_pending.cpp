// Stand-ins for the commands that this build does not carry yet. Each says
// so in one line on standard error and fails.
#include "commands.h"

#include <cstdio>

namespace miravon {
namespace {
int unavailable(const char* option)
{
    std::fprintf(stderr, "miravon: %s is not available in this build\n", option);
    return 1;
}
} // namespace

int runCheck(int) { return unavailable("--check"); }

} // namespace miravon
