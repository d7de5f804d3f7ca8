#pragma once

#include <string>
#include <vector>

namespace TestSupport {

// The library's log lines written since construction.
class LogCapture {
public:
    LogCapture();
    std::vector<std::string> lines() const;
    // Each line as "<level>: <message>".
    std::vector<std::string> messages() const;

private:
    mutable std::vector<std::string> lines_;
};

}  // namespace TestSupport
