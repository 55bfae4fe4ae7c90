// The last resort of a probe's or benchmark's main: anything unforeseen ends the program
// with one line on standard error and status 1, never an abort.
#pragma once

#include <cstdio>
#include <exception>

namespace testsupport {

template <typename Body>
int MainWithLastResort(const char* program, Body body) {
    try {
        return body();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", program, e.what());
    } catch (...) {
        std::fprintf(stderr, "%s: an unknown error\n", program);
    }
    return 1;
}

}  // namespace testsupport
