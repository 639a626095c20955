#pragma once
// Builds long texts from many pieces without copying the whole text on every
// append: pieces fill a 10000-character work buffer in place, which moves to
// the tail only when it would fill up.

#include <cstdint>
#include <string>

class clsBigString {
public:
    static constexpr std::int32_t kBufferSize = 10000;

    clsBigString() { Reset(); }

    void Reset();
    // A text longer than the buffer is appended whole, straight to the tail.
    void AddStr(const std::string& text);
    std::int32_t LenStr() const { return moved_ + used_; }
    std::string GetStr() const;
    void CopyString(const clsBigString& other);

private:
    std::int32_t used_ = 0;
    std::int32_t moved_ = 0;
    std::string buffer_;
    std::string tail_;
};
