#pragma once
// One TLS client session over a connected Winsock socket, through the system's SChannel
// (SSPI): the handshake with the server name, the check of the server's certificate against
// the system's trust store, and records encrypted on the way out and decrypted on the way in.
// The socket stays the caller's; the session only reads and writes it.

#include <winsock2.h>
#define SECURITY_WIN32
#include <security.h>

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vendrel::win {

class SchannelSession {
public:
    // The connecting thread. Runs the handshake and checks the certificate for host: 0 and
    // the session, or kErrorTlsCertificate, kErrorTlsFailed or the system's error code of a
    // stalled handshake (10060). Nothing but handshake records has crossed when it fails.
    [[nodiscard]] static int open(SOCKET socket, const std::string& host,
                                  std::unique_ptr<SchannelSession>& session);

    SchannelSession(const SchannelSession&) = delete;
    SchannelSession& operator=(const SchannelSession&) = delete;
    ~SchannelSession();

    // One writing thread at a time (TcpSocket's lock): encrypts up to one record of the bytes
    // and sends it whole; the count of plain bytes taken, or -1 on an error.
    [[nodiscard]] long write(const char* bytes, std::size_t count);
    // The reading thread, beside a write: plain bytes as the socket's read gives them (their
    // count, 0 at the end, -1 on an error, -2 when nothing arrived within timeoutMs).
    [[nodiscard]] long read(char* buffer, std::size_t count, int timeoutMs);

private:
    SchannelSession(SOCKET socket, std::wstring host);
    [[nodiscard]] int handshake();
    [[nodiscard]] bool isCertificateTrusted();
    // Feeds the bytes received so far to the handshake; the status of the last call.
    [[nodiscard]] SECURITY_STATUS continueHandshake();
    // Decrypts what has arrived into plain_; false on an error.
    [[nodiscard]] bool decryptReceived(bool& needsMore);
    [[nodiscard]] long receiveMore(int timeoutMs);
    [[nodiscard]] bool sendAll(const char* bytes, std::size_t count);
    // Keeps what the last call left unread: the bytes an extra buffer names, at the end.
    void keepExtra(const SecBuffer& extra);

    SOCKET socket_;
    std::wstring host_;
    CredHandle credentials_{};
    CtxtHandle context_{};
    bool hasCredentials_ = false;
    bool hasContext_ = false;
    SecPkgContext_StreamSizes sizes_{};
    std::mutex sendLock_;        // one record at a time on the wire
    std::vector<char> received_; // reading thread: bytes not yet decrypted
    std::vector<char> plain_;    // reading thread: decrypted bytes not yet handed out
    std::size_t plainOffset_ = 0;
    std::vector<char> record_; // writing thread
    bool hasEnded_ = false;    // the server said close_notify
};

} // namespace vendrel::win
