#pragma once
// The folder of page images prepared for sending (reduced, redactions burned
// in), shared by every server and local client of a system. Entries are
// named by their caller, a source's entries beginning with one prefix so
// they go together when the source is replaced. The folder is held to a size
// bound: past it the entries used least recently go first (a use renews an
// entry's time, which every process sharing the folder sees).

#include <cstdint>
#include <string>

namespace docserver::imaging {

class ReducedCache {
  public:
    ReducedCache(std::string dir, std::int64_t maxBytes);

    // The entry's bytes; false when there is none.
    bool Read(const std::string& name, std::string& bytes);
    // Stored whole or not at all; may evict others.
    void Write(const std::string& name, const std::string& bytes);
    // Every entry whose name begins with prefix.
    void DropPrefix(const std::string& prefix);
    // Evicts least recently used entries until the folder is within bound.
    void Trim();

  private:
    std::string dir_;
    std::int64_t maxBytes_;
    // Written since the folder was last measured; it is measured again
    // once this reaches a tenth of the bound, and at the first write.
    std::int64_t unmeasured_ = -1;
};

}  // namespace docserver::imaging
