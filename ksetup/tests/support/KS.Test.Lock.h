// A file held open by another process without any sharing, as a program in
// use holds its files, until the object goes.
#pragma once

#include <string>
#include <thread>

namespace KS::TestSupport {

class THeldFile {
public:
    explicit THeldFile(const std::u16string& path);
    ~THeldFile();
    THeldFile(const THeldFile&) = delete;
    THeldFile& operator=(const THeldFile&) = delete;

    // The child has the file open.
    bool Held() const { return held_; }

private:
    void* ready_;
    void* release_;
    std::thread child_;
    bool held_ = false;
};

} // namespace KS::TestSupport
