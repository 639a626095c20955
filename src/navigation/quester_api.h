#pragma once
// What the concept search's progress window asks of the session.

namespace navigation {

class QuesterApi {
  public:
    virtual ~QuesterApi() = default;
    // One poll of the running search; true while it still runs.
    virtual bool QuesterCheckSearch() = 0;
    // True while a search result is recorded.
    virtual bool IsQuesterActive() = 0;
    // The window is closing: the search is given up, as by its Cancel.
    virtual bool CloseAsked() { return false; }
};

}  // namespace navigation
