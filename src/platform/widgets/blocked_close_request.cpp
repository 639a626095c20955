#include "platform/widgets/blocked_close_request.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/dynamic_library.h"

namespace platform {
namespace {

constexpr std::uint8_t kClientMessage = 33;

// The X protocol's client message, as the xcb library hands it over.
struct ClientMessage {
    std::uint8_t responseType;
    std::uint8_t format;
    std::uint16_t sequence;
    std::uint32_t window;
    std::uint32_t type;
    std::uint32_t data32[5];
};
static_assert(sizeof(ClientMessage) == 32);

// An atom's number through the xcb library the platform plugin loaded; the
// program does not link it, so nothing is needed where X11 is not used.
std::uint32_t InternAtom(void* connection, const char* name) {
    static DynamicLibrary xcb;
    if (!xcb.IsLoaded() && !xcb.Load("libxcb.so.1")) return 0;
    struct Cookie {
        unsigned int sequence;
    };
    struct Reply {
        std::uint8_t responseType, pad;
        std::uint16_t sequence;
        std::uint32_t length, atom;
    };
    using Intern = Cookie (*)(void*, std::uint8_t, std::uint16_t, const char*);
    using Answer = Reply* (*)(void*, Cookie, void**);
    auto intern = reinterpret_cast<Intern>(xcb.Symbol("xcb_intern_atom"));
    auto answer = reinterpret_cast<Answer>(xcb.Symbol("xcb_intern_atom_reply"));
    if (intern == nullptr || answer == nullptr) return 0;
    Reply* reply =
        answer(connection, intern(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
               nullptr);
    if (reply == nullptr) return 0;
    const std::uint32_t atom = reply->atom;
    std::free(reply);
    return atom;
}

}  // namespace

bool IsCloseRequest(const void* event, std::uint32_t window, std::uint32_t protocolsAtom,
                    std::uint32_t deleteAtom) {
    ClientMessage m;
    std::memcpy(&m, event, sizeof m);
    return (m.responseType & 0x7f) == kClientMessage && m.format == 32 && m.window == window &&
           protocolsAtom != 0 && m.type == protocolsAtom && m.data32[0] == deleteAtom;
}

BlockedCloseRequest::BlockedCloseRequest(QWidget& window, std::function<void()> onClose)
    : window_(window), onClose_(std::move(onClose)) {
    if (qGuiApp == nullptr || QGuiApplication::platformName() != QLatin1String("xcb")) return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr) return;
    protocolsAtom_ = InternAtom(x11->connection(), "WM_PROTOCOLS");
    deleteAtom_ = InternAtom(x11->connection(), "WM_DELETE_WINDOW");
    if (protocolsAtom_ != 0 && deleteAtom_ != 0) qGuiApp->installNativeEventFilter(this);
}

BlockedCloseRequest::~BlockedCloseRequest() {
    if (protocolsAtom_ != 0 && qGuiApp) qGuiApp->removeNativeEventFilter(this);
}

bool BlockedCloseRequest::nativeEventFilter(const QByteArray& eventType, void* message,
                                            qintptr*) {
    // Unblocked, Qt delivers the close to the window itself.
    if (eventType != "xcb_generic_event_t" || QGuiApplication::modalWindow() == nullptr ||
        window_.windowHandle() == nullptr)
        return false;
    if (IsCloseRequest(message, static_cast<std::uint32_t>(window_.winId()), protocolsAtom_,
                       deleteAtom_) &&
        onClose_)
        onClose_();
    return false;
}

}  // namespace platform
