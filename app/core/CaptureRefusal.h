#pragma once

#include <string_view>

namespace Tidemark {

// How the capture helper ends. The application reads the reason from the code alone.
enum class HelperExit : int {
    done = 0,
    failed = 1,        // bad usage or any other failure
    denied = 2,        // the open was refused for want of rights
    noSuchDevice = 3,  // no such interface
    openFailed = 4,    // the open failed otherwise
};

// How libpcap words an open refused for lack of rights (on macOS or on Linux). libpcap's open gives
// only text; the helper and the in-process capture turn it into a reason here, and nowhere else.
inline bool isPermissionDenied(std::string_view message) {
    return message.find("Permission denied") != std::string_view::npos ||
           message.find("You don't have permission") != std::string_view::npos ||
           message.find("Operation not permitted") != std::string_view::npos;
}

// How libpcap words an open of an interface that does not exist.
inline bool isNoSuchDevice(std::string_view message) { return message.find("No such device") != std::string_view::npos; }

// Why libpcap refused to open a capture, from its text: the helper's exit for it.
inline HelperExit openRefusal(std::string_view message) {
    if (isPermissionDenied(message)) return HelperExit::denied;
    if (isNoSuchDevice(message)) return HelperExit::noSuchDevice;
    return HelperExit::openFailed;
}

}  // namespace Tidemark
