#pragma once

#include <exception>
#include <string>

namespace ZuzizavAdiduDazorud {

// What the decoding side throws where it cannot go on: a CDP value that does not decode on its own, a
// frame that cannot go into a capture file. Its text is "unexpected error " and the message.
class DecodeError : public std::exception {
public:
    explicit DecodeError(std::string message) : message_(std::move(message)), text_("unexpected error " + message_) {}

    const std::string& message() const { return message_; }
    const std::string& description() const { return text_; }
    const char* what() const noexcept override { return text_.c_str(); }

private:
    std::string message_;
    std::string text_;
};

}  // namespace ZuzizavAdiduDazorud
