#pragma once
// The window system's close button on a window a modal dialog blocks: Qt
// drops such a request before any event reaches the window, so it would be
// neither refused nor kept. On X11 this filter sees it first and hands it
// to the window's owner, which keeps it until the dialog has ended.

#include <QAbstractNativeEventFilter>

#include <cstdint>
#include <functional>

class QWidget;

namespace platform {

// True when event is an X11 client message to window of protocol
// protocolsAtom asking deleteAtom (the close button); event holds at least
// 32 bytes, laid out as the X protocol's client message.
bool IsCloseRequest(const void* event, std::uint32_t window, std::uint32_t protocolsAtom,
                    std::uint32_t deleteAtom);

class BlockedCloseRequest : public QAbstractNativeEventFilter {
  public:
    // onClose runs when the window system asks to close window while a
    // modal dialog blocks it. Does nothing off X11.
    BlockedCloseRequest(QWidget& window, std::function<void()> onClose);
    ~BlockedCloseRequest() override;
    BlockedCloseRequest(const BlockedCloseRequest&) = delete;
    BlockedCloseRequest& operator=(const BlockedCloseRequest&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    QWidget& window_;
    std::function<void()> onClose_;
    std::uint32_t protocolsAtom_ = 0;
    std::uint32_t deleteAtom_ = 0;
};

}  // namespace platform
