#pragma once

#include <string_view>

namespace Tidemark {

// How libpcap words an open refused for lack of rights (on macOS or on Linux). Shared by the capture
// helper, which turns it into its exit code, and the monitor, which starts the permission step on it.
inline bool isPermissionDenied(std::string_view message) {
    return message.find("Permission denied") != std::string_view::npos ||
           message.find("You don't have permission") != std::string_view::npos ||
           message.find("Operation not permitted") != std::string_view::npos;
}

// How libpcap words an open of an interface that does not exist.
inline bool isNoSuchDevice(std::string_view message) { return message.find("No such device") != std::string_view::npos; }

}  // namespace Tidemark
