#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace TestSupport {

// A FILE* that writes into memory, for code that prints to a stream; text() closes it and returns what
// was written.
class MemoryStream {
public:
    MemoryStream() : file_(open_memstream(&buffer_, &size_)) {}
    ~MemoryStream() {
        close();
        std::free(buffer_);
    }
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;

    std::FILE* file() const { return file_; }
    std::string text() {
        close();
        return std::string(buffer_, size_);
    }

private:
    void close() {
        if (file_) std::fclose(file_);
        file_ = nullptr;
    }

    char* buffer_ = nullptr;
    std::size_t size_ = 0;
    std::FILE* file_;
};

}  // namespace TestSupport
