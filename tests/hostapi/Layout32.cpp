// Compiled with -m32 only: the parameter block's 32-bit layout assertions must hold
// for the host's own pointer size. Nothing runs; compiling is the test.
#include "HYPluginAPI.h"

static_assert(sizeof(void*) == 4, "this check is meant for a 32-bit target");
static_assert(sizeof(HYPluginParams) == 1940);
