#pragma once
// Keeps a key held down out of a window: a key that went down before the
// window showed would otherwise repeat into it and press its buttons, and a
// progress window would stop its work, or a warning close unread.

#include <QObject>

#include <cstdint>

class QWidget;

namespace platform {

class HeldKeyFilter : public QObject {
  public:
    // Guards window and its children for as long as the filter lives.
    explicit HeldKeyFilter(QWidget& window);
    ~HeldKeyFilter() override;
    HeldKeyFilter(const HeldKeyFilter&) = delete;
    HeldKeyFilter& operator=(const HeldKeyFilter&) = delete;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget& window_;
    int releasedKey_ = -1;
    std::uint64_t releasedAt_ = 0;
};

}  // namespace platform
