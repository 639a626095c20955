#include "foundation/big_string.h"

void clsBigString::Reset() {
    used_ = 0;
    moved_ = 0;
    tail_.clear();
    buffer_.assign(kBufferSize, '\0');
}

void clsBigString::AddStr(const std::string& text) {
    if (text.empty()) return;
    const auto len = static_cast<std::int64_t>(text.size());
    if (used_ + len >= kBufferSize) {
        tail_.append(buffer_, 0, static_cast<size_t>(used_));
        moved_ += used_;
        used_ = 0;
    }
    if (len > kBufferSize) {
        tail_ += text;
        moved_ += static_cast<std::int32_t>(len);
        return;
    }
    buffer_.replace(static_cast<size_t>(used_), text.size(), text);
    used_ += static_cast<std::int32_t>(len);
}

std::string clsBigString::GetStr() const {
    if (moved_ < 1) return buffer_.substr(0, static_cast<size_t>(used_));
    return tail_ + buffer_.substr(0, static_cast<size_t>(used_));
}

void clsBigString::CopyString(const clsBigString& other) {
    std::string text = other.GetStr();
    Reset();
    tail_ = std::move(text);
    moved_ = static_cast<std::int32_t>(tail_.size());
}
