#pragma once

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace TestSupport {

// A network namespace of the test's own, with its loopback up; deleted with the object. Needs root.
class NetworkNamespace {
public:
    NetworkNamespace() : name_("tidemark-test-" + std::to_string(getpid()) + "-" + std::to_string(next()++)) {
        ok_ = std::system(("ip netns add " + name_ + " && ip -n " + name_ + " link set lo up").c_str()) == 0;
    }
    ~NetworkNamespace() { std::system(("ip netns delete " + name_ + " 2> /dev/null").c_str()); }
    NetworkNamespace(const NetworkNamespace&) = delete;
    NetworkNamespace& operator=(const NetworkNamespace&) = delete;

    bool ok() const { return ok_; }
    const std::string& name() const { return name_; }
    // A command line that runs `argv` inside the namespace (ip netns exec runs it in its own process).
    std::vector<std::string> exec(std::vector<std::string> argv) const {
        argv.insert(argv.begin(), {"ip", "netns", "exec", name_});
        return argv;
    }
    // Runs a shell command inside the namespace; true when it succeeds.
    bool shell(const std::string& command) const {
        return std::system(("ip netns exec " + name_ + " sh -c '" + command + "'").c_str()) == 0;
    }
    // What a shell command inside the namespace prints.
    std::string output(const std::string& command) const {
        std::string text;
        if (std::FILE* pipe = popen(("ip netns exec " + name_ + " sh -c '" + command + "'").c_str(), "r")) {
            char buffer[4096];
            std::size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
            pclose(pipe);
        }
        return text;
    }

private:
    static std::atomic<int>& next() {
        static std::atomic<int> counter{0};
        return counter;
    }
    std::string name_;
    bool ok_ = false;
};

}  // namespace TestSupport
