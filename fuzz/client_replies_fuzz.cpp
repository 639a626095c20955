// Replies of a misbehaving server read by the session object. The transport
// is a stand-in for the local-access library that answers each request with
// the next line of the input.
#include <cstring>
#include <string>

#include "server/local_access.h"
#include "server/talq_client_api.h"

namespace {

std::string g_input;
std::size_t g_next = 0;
std::string g_reply;

std::int32_t Allocate() {
    return 1;
}
std::int32_t Connect(std::int32_t, std::int32_t) {
    return 1;
}
std::int32_t Process(std::int32_t, const char*, std::int32_t, std::int32_t* ref,
                     std::int32_t* length) {
    std::size_t end = g_input.find('\n', g_next);
    if (end == std::string::npos) end = g_input.size();
    g_reply = g_next <= g_input.size() ? g_input.substr(g_next, end - g_next) : std::string();
    g_next = end + 1;
    *ref = 1;
    *length = static_cast<std::int32_t>(g_reply.size());
    return 1;
}
std::int32_t Copy(std::int32_t, char* buffer, std::int32_t length, std::int32_t) {
    std::memcpy(buffer, g_reply.data(), std::min<std::size_t>(length, g_reply.size()));
    return 1;
}
std::int32_t Handle(std::int32_t) {
    return 1;
}

}  // namespace

// Same name as the tests' peer: the class lets it set up a session in place.
class TalqClientApiTestPeer {
  public:
    static void Run() {
        LocalAccessLibrary library;
        library.AllocateConnectionHndl = Allocate;
        library.ConnectLocal = Connect;
        library.ProcessCommand = Process;
        library.CopyMsgData = Copy;
        library.CloseConnection = Handle;
        library.FreeConnectionHndl = Handle;
        library.ValidateConnection = Handle;
        TalqClientAPI api;
        api.localLibrary_ = &library;
        api.localHandle_ = 1;
        api.localMode_ = 1;
        api.connection_ = 1;
        api.userValid_ = 1;
        api.userName_ = "ADMIN";
        api.userPswrd_ = "SECRET";
        api.clientCode_ = 1;

        api.TalqLogin("ADMIN", "SECRET", 1);
        api.userValid_ = 1;
        api.SelectProject("P");
        api.GetTalqProjectList(1);
        api.GetTalqProjectList(0);
        std::string a, b, c, d, e, f;
        std::int16_t level = 1, marker = 0;
        std::int32_t n1 = 0, n2 = 0, n3 = 0, n4 = 0;
        api.FindKey("K1", a);
        api.NextKey("K1", level, a);
        api.GetBndryScrollList("K1", 1, a, marker, n1, n2);
        api.GetBndryBegEndKey("K1", 1, a, b);
        api.GetImagePageInfo("K1", n1, n2, n3, a, b);
        api.GetWordList("K1", n1, n2, n3, n4, a);
        api.GetTagList(a);
        api.GetImageTags("K1", a);
        api.GetAllAnnotations("K1", a, b, c, d, e, f);
        api.GetImage("K1", 1);
        api.ResolveBndry2Level("D");
        api.ResolveLevel2Bndry(2);
        api.GetFolderDescription("K1", 1);
        api.GetPageDate("K1");
        api.GetTagPalette(a);
        api.IsRangeTagged("K1", "K9", "Hot");
        api.GetWordBuf("K1", "1", "9", a);
        api.GetPageOCR("K1", a);
        api.GetBatchPrinters(a);
        api.GetBatchPrintDir("LP");
        api.QuesterIsSupported();
        api.CloseTalqConnection();
        api.localLibrary_ = nullptr;
    }
};

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    g_input.assign(reinterpret_cast<const char*>(data), size);
    g_next = 0;
    TalqClientApiTestPeer::Run();
    return 0;
}
