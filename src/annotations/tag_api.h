#pragma once
// What the tag palette and its editor need of the session object: the
// project's rights, its tag collections and palette, a page's tags and the
// changes to them.

#include <cstdint>
#include <string>

namespace annotations {

class TagApi {
  public:
    virtual ~TagApi() = default;
    virtual bool IsProjectValid() = 0;
    virtual std::int32_t UserProjectSecurity() = 0;
    // ","-lists of names and their count; 0 with an empty list when there
    // are none or the request failed.
    virtual std::int32_t GetTagList(std::string& list) = 0;
    virtual std::int32_t GetTagPalette(std::string& list) = 0;
    // The palette's ","-list; false when the request failed.
    virtual bool ReadTagPalette(std::string& list) = 0;
    // The collections' ","-list; false when the request failed.
    virtual bool ReadTagPool(std::string& list) = 0;
    virtual std::int32_t GetImageTags(const std::string& key, std::string& list) = 0;
    virtual bool TurnTagOn(const std::string& key, const std::string& tag) = 0;
    virtual bool TurnTagOff(const std::string& key, const std::string& tag) = 0;
    virtual bool NewTagDesc(const std::string& name) = 0;
    virtual bool ModifyTagDesc(const std::string& oldName, const std::string& newName) = 0;
    virtual bool DeleteTagDesc(const std::string& name) = 0;
    // Names joined by "|" in palette order; "" empties the palette.
    virtual bool PutTagPalette(const std::string& list) = 0;
    // Why the last request failed.
    virtual std::string LastError() = 0;
    // Why the last request that got no answer failed (the connection lost
    // or refused, no reply in time), once: "" when it was taken already.
    virtual std::string TakeUntoldTransportError() = 0;
    // Why the last request failed, each reason told once: the session's
    // end, the connection's, the server's words, or the session's own
    // refusal; "" when none is left to tell.
    virtual std::string TakeFailureOrRefusal() = 0;
};

}  // namespace annotations
