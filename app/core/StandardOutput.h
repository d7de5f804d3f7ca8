#pragma once

#include <cstdio>
#include <string>

namespace Tidemark {

// One line on standard output, flushed at once (the application's few lines outside its log).
inline void printStandardOutputLine(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

}  // namespace Tidemark
