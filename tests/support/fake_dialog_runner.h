#pragma once
// Common dialogs answered from queues; every request is recorded.

#include <deque>
#include <optional>
#include <vector>

#include "foundation/widgets/common_dialogs.h"

namespace testsupport {

class FakeDialogRunner : public mComDlg::CommonDialogRunner {
  public:
    std::deque<std::optional<std::uint32_t>> colors;
    std::deque<std::optional<mComDlg::FontChoice>> fonts;
    std::deque<std::optional<mComDlg::FileAnswer>> files;

    std::vector<std::uint32_t> colorStarts;
    std::vector<mComDlg::FontChoice> fontStarts;
    std::vector<mComDlg::FileRequest> fileRequests;

    std::optional<std::uint32_t> RunColor(QWidget*, std::uint32_t start) override {
        colorStarts.push_back(start);
        return Next(colors);
    }
    std::optional<mComDlg::FontChoice> RunFont(QWidget*,
                                               const mComDlg::FontChoice& start) override {
        fontStarts.push_back(start);
        return Next(fonts);
    }
    std::optional<mComDlg::FileAnswer> RunFile(QWidget*, const mComDlg::FileRequest& r) override {
        fileRequests.push_back(r);
        return Next(files);
    }

  private:
    // An empty queue answers Cancel.
    template <class T>
    static std::optional<T> Next(std::deque<std::optional<T>>& queue) {
        if (queue.empty()) return std::nullopt;
        std::optional<T> answer = queue.front();
        queue.pop_front();
        return answer;
    }
};

}  // namespace testsupport
