#pragma once
// Reading and changing delimited texts: every reply, list, record and setting
// of the system is read field by field with these, so their behaviour at the
// edges (1-based fields, numbers below 1 or past the end, empty texts, a
// trailing delimiter) is part of the wire contract.

#include <deque>
#include <string>

namespace mVBUtil {

int CountFields(const std::string& delim, const std::string& text);
std::string GetField(const std::string& delim, const std::string& text, int n);
// The text from the start of field n to the end, later delimiters included.
std::string GetFieldRest(const std::string& delim, const std::string& text, int n);
std::string SetField(const std::string& delim, const std::string& text, const std::string& value,
                     int n);
// The text SetField calls with rising field numbers would build from "", in
// one pass however many fields there are. One-character delimiters only.
class FieldBuilder {
  public:
    explicit FieldBuilder(char delim) : delim_(delim) {}
    // As text = SetField(delim, text, value, n); n above every earlier n.
    void Set(int n, const std::string& value);
    std::string Text() const;

  private:
    char delim_;
    std::string done_;  // fields 1..set_, final
    int set_ = 0;
    std::deque<std::string> ahead_;  // fields after set_ spilled by a value
};

// Walks a text once: start with position 1 and call until position is -1.
std::string NextToken(const std::string& delim, const std::string& text, int& position);

std::string TrimAtNull(const std::string& text);
std::string TrimAtLineEnd(const std::string& text);
// Leading and trailing spaces (character 32 only) removed.
std::string TrimSpaces(const std::string& text);

}  // namespace mVBUtil
