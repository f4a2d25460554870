/* SPDX-License-Identifier: MIT */
// What the parts below the API throw, as the API's errors.
#pragma once

#include <new>

#include "photo/failure.h"
#include "zorvan/video.hpp"

namespace zv::video {

template <class Work>
auto Guarded(Work work) {
    try {
        return work();
    } catch (const photo::detail::Failure& failure) {  // from the output file
        throw Error(failure.what());
    } catch (const std::bad_alloc&) {
        throw Error("out of memory");
    }
}

}  // namespace zv::video
