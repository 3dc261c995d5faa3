// Winsock's headers must come before windows.h, which the header below brings.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "setting/sign_in_win.h"

#include <shellapi.h>

#include "mail/oauth/sign_in_request.h"
#include "mail/oauth/token_client.h"
#include "platform/tcp_client.h"
#include "platform/wide_text_win.h"
#include "setting/dialog_win.h"
#include "setting/setting_resource.h"

namespace {

constexpr UINT kListenerMessage = WM_APP + 1;
constexpr UINT_PTR kGiveUpTimer = 1;
constexpr UINT kWaitMs = 5 * 60 * 1000;
constexpr DWORD kRequestTimeoutMs = 5000;
constexpr size_t kMaxRequestLine = 16384;

const char kClosingPage[] =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Zantoli</title></head><body>"
    "<p>Zantoli has your answer. You can close this window.</p></body></html>";

// Closes a socket when it goes out of scope.
class Socket {
public:
    explicit Socket(SOCKET handle = INVALID_SOCKET) : handle(handle) {}
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    ~Socket()
    {
        if (handle != INVALID_SOCKET)
            closesocket(handle);
    }
    SOCKET Get() const { return handle; }

private:
    SOCKET handle;
};

// The loopback listener on a port the system picks now.
SOCKET Listen(int& port)
{
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET)
        return listener;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 4) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        closesocket(listener);
        return INVALID_SOCKET;
    }
    port = ntohs(address.sin_port);
    return listener;
}

// The request line the browser sent, read within a bound.
std::string ReadRequestLine(SOCKET connection)
{
    u_long blocking = 0;
    ioctlsocket(connection, FIONBIO, &blocking);
    DWORD timeout = kRequestTimeoutMs;
    setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    std::string received;
    char buffer[2048];
    while (received.find("\r\n") == std::string::npos && received.size() < kMaxRequestLine) {
        const int got = recv(connection, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        received.append(buffer, size_t(got));
    }
    const size_t end = received.find("\r\n");
    return end == std::string::npos ? std::string() : received.substr(0, end);
}

void Answer(SOCKET connection, const char* status, const std::string& page)
{
    const std::string reply = std::string("HTTP/1.1 ") + status +
                              "\r\nContent-Type: text/html; charset=utf-8\r\nCache-Control: no-store\r\n"
                              "Connection: close\r\nContent-Length: " +
                              std::to_string(page.size()) + "\r\n\r\n" + page;
    send(connection, reply.data(), int(reply.size()), 0);
    shutdown(connection, SD_SEND);
}

// "Signing in": waits for the browser's redirect; Cancel, the time limit or the redirect end it.
class WaitDialog : public Dialog {
public:
    explicit WaitDialog(SOCKET listener) : Dialog(IDD_SIGN_IN_WAIT), listener(listener) {}

    RedirectQuery query;
    bool answered = false;

protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case WM_INITDIALOG:
            WSAAsyncSelect(listener, Handle(), kListenerMessage, FD_ACCEPT);
            SetTimer(Handle(), kGiveUpTimer, kWaitMs, nullptr);
            return TRUE;
        case kListenerMessage:
            OnConnection();
            return TRUE;
        case WM_TIMER:
            if (wParam == kGiveUpTimer)
                EndDialog(Handle(), IDABORT);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL)
                EndDialog(Handle(), IDCANCEL);
            return TRUE;
        case WM_DESTROY:
            KillTimer(Handle(), kGiveUpTimer);
            WSAAsyncSelect(listener, Handle(), 0, 0);
            return FALSE;
        default:
            (void)lParam;
            return FALSE;
        }
    }

private:
    // Browsers also ask for an icon, or open a connection ahead: those get "not found" and the
    // wait goes on.
    void OnConnection()
    {
        Socket connection(accept(listener, nullptr, nullptr));
        if (connection.Get() == INVALID_SOCKET)
            return;
        WSAAsyncSelect(connection.Get(), Handle(), 0, 0);
        RedirectQuery read;
        if (!ReadRedirectRequest(ReadRequestLine(connection.Get()), "/", read)) {
            Answer(connection.Get(), "404 Not Found", "");
            return;
        }
        Answer(connection.Get(), "200 OK", kClosingPage);
        query = read;
        answered = true;
        EndDialog(Handle(), IDOK);
    }

    SOCKET listener;
};

SignInResult Refusal(std::string message)
{
    SignInResult result;
    result.message = std::move(message);
    return result;
}

}  // namespace

SignInResult SignIn(HWND owner, const AccountSettings& account)
{
    const OAuthEndpoints endpoints = EndpointsFor(account, account.Protocol == kProtocolImap);
    SignInSecrets secrets;
    if (!NewSignInSecrets(secrets))
        return Refusal("The system gave no random numbers for the sign-in.");
    int port = 0;
    Socket listener(InitSockets() ? Listen(port) : INVALID_SOCKET);
    if (listener.Get() == INVALID_SOCKET)
        return Refusal("No port on 127.0.0.1 could be opened for the browser's answer.");
    const std::string redirectUri = "http://127.0.0.1:" + std::to_string(port) + "/";
    const std::wstring url = WideFromUtf8(AuthorizationUrl(endpoints, redirectUri, secrets, account.Account));
    if (reinterpret_cast<INT_PTR>(ShellExecuteW(owner, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) <= 32)
        return Refusal("The browser could not be started.");

    WaitDialog wait(listener.Get());
    const INT_PTR ended = wait.RunModal(owner);
    if (ended == IDCANCEL)
        return Refusal(std::string());
    if (!wait.answered)
        return Refusal("The browser gave no answer within 5 minutes.");
    if (!wait.query.error.empty())
        return Refusal("The provider refused the sign-in: " + wait.query.error +
                       (wait.query.description.empty() ? "" : " (" + wait.query.description + ")"));
    // An answer for another sign-in (or forged by another page) is not taken.
    if (wait.query.state != secrets.state)
        return Refusal("The browser's answer does not belong to this sign-in.");
    if (wait.query.code.empty())
        return Refusal("The provider sent no authorization code.");

    HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    const TokenGrant grant =
        ExchangeCode(SystemHttps(), endpoints, wait.query.code, redirectUri, secrets.verifier, account.TrustFile,
                     nullptr);
    SetCursor(previous);
    if (grant.result != TokenGrant::Result::Granted)
        return Refusal("The token endpoint refused: " + grant.reason);
    if (grant.refreshToken.empty())
        return Refusal("The provider returned no refresh token, so Zantoli could not stay signed in.");
    SignInResult result;
    result.signedIn = true;
    result.refreshToken = grant.refreshToken;
    result.message = "Signed in as " + account.Account + ".";
    return result;
}
