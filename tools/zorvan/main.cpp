// SPDX-License-Identifier: MIT
// zorvan: the command-line host of the formula library.
#include <cstdio>
#include <exception>
#include <new>

#include "tools/zorvan/commands/commands.h"
#include "tools/zorvan/failure.h"

int main(int argc, char** argv) {
    using namespace zv::cli;
    try {
        return RunCommandLine(argc, argv);
    } catch (const Failure& failure) {
        Report(failure);
        return failure.status();
    } catch (const zv::Error& error) {
        Report(AsFailure(error));
        return kExitUsage;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "zorvan: out of memory\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zorvan: %s\n", e.what());
    }
    return kExitIo;
}
