#include "schannel_session.h"

#include <wincrypt.h>
#include <windows.h>
// SCH_CREDENTIALS, the current form of the credentials, needs UNICODE_STRING first.
#define SCHANNEL_USE_BLACKLISTS
#include <schannel.h>
#include <subauth.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "ports/socket_system.h"
#include "win_text.h"

namespace vendrel::win {
namespace {

// A stalled handshake must not hold the connection thread for ever.
constexpr int kHandshakeTimeoutMs = 30000;
constexpr int kErrorTimedOut = 10060;
constexpr std::size_t kRecordHeaderBytes = 5;

// One SSPI call at a time in the whole process: encrypting and decrypting share a context's
// sequence state, and Wine's SChannel keeps its handle table without a lock, so two threads
// opening sessions (a download beside the game connection) must not meet there. Held only
// around a call, never while a socket blocks, so a read never waits for a write that waits
// for the peer.
std::mutex sspiLock;

template <typename Call> auto withSspi(Call call) {
    std::lock_guard lock(sspiLock);
    return call();
}

constexpr ULONG kContextRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                  ISC_REQ_CONFIDENTIALITY | ISC_REQ_ALLOCATE_MEMORY |
                                  ISC_REQ_STREAM | ISC_REQ_MANUAL_CRED_VALIDATION;

// We check the certificate ourselves (isCertificateTrusted), the same way on every system
// version; SChannel only negotiates. No client certificate is ever offered.
constexpr DWORD kCredentialFlags =
    SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;

SECURITY_STATUS acquireCredentials(CredHandle& credentials) {
    // The current form lets the system offer TLS 1.3 where it has it; older systems (and
    // Wine) know only SCHANNEL_CRED, with which TLS 1.2 is asked for by name.
    TLS_PARAMETERS parameters{};
    parameters.grbitDisabledProtocols =
        SP_PROT_SSL2_CLIENT | SP_PROT_SSL3_CLIENT | SP_PROT_TLS1_0_CLIENT | SP_PROT_TLS1_1_CLIENT;
    SCH_CREDENTIALS current{};
    current.dwVersion = SCH_CREDENTIALS_VERSION;
    current.dwFlags = kCredentialFlags;
    current.cTlsParameters = 1;
    current.pTlsParameters = &parameters;
    wchar_t package[] = UNISP_NAME_W;
    SECURITY_STATUS status =
        AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &current,
                                  nullptr, nullptr, &credentials, nullptr);
    if (status == SEC_E_OK) {
        return status;
    }
    SCHANNEL_CRED older{};
    older.dwVersion = SCHANNEL_CRED_VERSION;
    older.dwFlags = kCredentialFlags;
    older.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
    return AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &older,
                                     nullptr, nullptr, &credentials, nullptr);
}

// The length of the first whole TLS record in bytes, 0 while it has not all arrived.
std::size_t wholeRecordBytes(const std::vector<char>& bytes) {
    if (bytes.size() < kRecordHeaderBytes) {
        return 0;
    }
    const std::size_t length =
        (static_cast<unsigned char>(bytes[3]) << 8) | static_cast<unsigned char>(bytes[4]);
    const std::size_t whole = kRecordHeaderBytes + length;
    return bytes.size() >= whole ? whole : 0;
}

const SecBuffer* findBuffer(const SecBufferDesc& desc, ULONG type) {
    for (ULONG i = 0; i < desc.cBuffers; ++i) {
        if (desc.pBuffers[i].BufferType == type) {
            return &desc.pBuffers[i];
        }
    }
    return nullptr;
}

} // namespace

int SchannelSession::open(SOCKET socket, const std::string& host,
                          std::unique_ptr<SchannelSession>& session) {
    std::unique_ptr<SchannelSession> opened(new SchannelSession(socket, utf8ToWin(host)));
    if (withSspi([&] { return acquireCredentials(opened->credentials_); }) != SEC_E_OK) {
        return kErrorTlsFailed;
    }
    opened->hasCredentials_ = true;
    const int result = opened->handshake();
    if (result != 0) {
        return result;
    }
    if (!opened->isCertificateTrusted()) {
        return kErrorTlsCertificate;
    }
    if (withSspi([&] {
            return QueryContextAttributesW(&opened->context_, SECPKG_ATTR_STREAM_SIZES,
                                           &opened->sizes_);
        }) != SEC_E_OK ||
        opened->sizes_.cbMaximumMessage == 0) {
        return kErrorTlsFailed;
    }
    session = std::move(opened);
    return 0;
}

SchannelSession::SchannelSession(SOCKET socket, std::wstring host)
    : socket_(socket), host_(std::move(host)) {}

SchannelSession::~SchannelSession() {
    std::lock_guard lock(sspiLock);
    if (hasContext_) {
        DeleteSecurityContext(&context_);
    }
    if (hasCredentials_) {
        FreeCredentialsHandle(&credentials_);
    }
}

int SchannelSession::handshake() {
    SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out};
    ULONG attributes = 0;
    SECURITY_STATUS status = withSspi([&] {
        return InitializeSecurityContextW(&credentials_, nullptr, host_.data(), kContextRequest, 0,
                                          0, nullptr, 0, &context_, &outDesc, &attributes, nullptr);
    });
    hasContext_ = status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK;
    const bool isSent =
        out.pvBuffer == nullptr || sendAll(static_cast<const char*>(out.pvBuffer), out.cbBuffer);
    if (out.pvBuffer != nullptr) {
        FreeContextBuffer(out.pvBuffer);
    }
    if (status != SEC_I_CONTINUE_NEEDED || !isSent) {
        return kErrorTlsFailed;
    }
    bool needsMore = true;
    for (;;) {
        if (needsMore) {
            const long got = receiveMore(kHandshakeTimeoutMs);
            if (got == -2) {
                return kErrorTimedOut;
            }
            if (got <= 0) {
                return kErrorTlsFailed;
            }
        }
        status = continueHandshake();
        if (status == SEC_E_OK) {
            return 0;
        }
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            needsMore = true;
        } else if (status == SEC_I_CONTINUE_NEEDED) {
            needsMore = received_.empty();
        } else {
            // Among them a server that asks for a client certificate: we have none to give.
            return kErrorTlsFailed;
        }
    }
}

SECURITY_STATUS SchannelSession::continueHandshake() {
    SecBuffer in[2] = {{static_cast<ULONG>(received_.size()), SECBUFFER_TOKEN, received_.data()},
                       {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
    SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out};
    ULONG attributes = 0;
    SECURITY_STATUS status = withSspi([&] {
        return InitializeSecurityContextW(&credentials_, &context_, host_.data(), kContextRequest,
                                          0, 0, &inDesc, 0, nullptr, &outDesc, &attributes,
                                          nullptr);
    });
    if (out.pvBuffer != nullptr) {
        // An answer to send, or on failure the alert that tells the server why.
        const bool isSent = sendAll(static_cast<const char*>(out.pvBuffer), out.cbBuffer);
        FreeContextBuffer(out.pvBuffer);
        if (!isSent && (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED)) {
            return SEC_E_INTERNAL_ERROR;
        }
    }
    if (status == SEC_E_INCOMPLETE_MESSAGE) {
        return status; // nothing was taken: the same bytes again with more after them
    }
    if (in[1].BufferType == SECBUFFER_EXTRA) {
        keepExtra(in[1]);
    } else {
        received_.clear();
    }
    return status;
}

bool SchannelSession::isCertificateTrusted() {
    PCCERT_CONTEXT certificate = nullptr;
    if (withSspi([&] {
            return QueryContextAttributesW(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT,
                                           &certificate);
        }) != SEC_E_OK ||
        certificate == nullptr) {
        return false;
    }
    char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    LPSTR usages[] = {serverAuth};
    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof chainPara;
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    // The default engine trusts the system's roots; the server's own intermediates come from
    // the store that arrived with its certificate.
    bool isTrusted = CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore,
                                             &chainPara, 0, nullptr, &chain) != FALSE;
    if (isTrusted) {
        HTTPSPolicyCallbackData ssl{};
        ssl.cbStruct = sizeof ssl;
        ssl.dwAuthType = AUTHTYPE_SERVER;
        ssl.pwszServerName = host_.data();
        CERT_CHAIN_POLICY_PARA policy{};
        policy.cbSize = sizeof policy;
        policy.pvExtraPolicyPara = &ssl;
        CERT_CHAIN_POLICY_STATUS verdict{};
        verdict.cbSize = sizeof verdict;
        // One verdict for the chain, its dates and the name: no error is ever let through.
        isTrusted = CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy,
                                                     &verdict) != FALSE &&
                    verdict.dwError == 0;
        CertFreeCertificateChain(chain);
    }
    CertFreeCertificateContext(certificate);
    return isTrusted;
}

long SchannelSession::write(const char* bytes, std::size_t count) {
    const std::size_t piece = std::min<std::size_t>(count, sizes_.cbMaximumMessage);
    record_.resize(sizes_.cbHeader + piece + sizes_.cbTrailer);
    char* data = record_.data();
    std::memcpy(data + sizes_.cbHeader, bytes, piece);
    SecBuffer buffers[4] = {
        {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, data},
        {static_cast<ULONG>(piece), SECBUFFER_DATA, data + sizes_.cbHeader},
        {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, data + sizes_.cbHeader + piece},
        {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
    std::lock_guard sending(sendLock_);
    SECURITY_STATUS status = SEC_E_INTERNAL_ERROR;
    {
        std::lock_guard sspi(sspiLock);
        status = EncryptMessage(&context_, 0, &desc, 0);
    }
    if (status != SEC_E_OK) {
        return -1;
    }
    const std::size_t total = buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer;
    return sendAll(data, total) ? static_cast<long>(piece) : -1;
}

long SchannelSession::read(char* buffer, std::size_t count, int timeoutMs) {
    bool needsMore = false;
    while (plainOffset_ == plain_.size()) {
        plain_.clear();
        plainOffset_ = 0;
        if (hasEnded_) {
            return 0;
        }
        if (needsMore || wholeRecordBytes(received_) == 0) {
            const long got = receiveMore(timeoutMs);
            if (got <= 0) {
                return got;
            }
            needsMore = false;
            continue;
        }
        if (!decryptReceived(needsMore)) {
            return -1;
        }
    }
    const std::size_t piece = std::min(count, plain_.size() - plainOffset_);
    std::memcpy(buffer, plain_.data() + plainOffset_, piece);
    plainOffset_ += piece;
    return static_cast<long>(piece);
}

bool SchannelSession::decryptReceived(bool& needsMore) {
    SecBuffer buffers[4] = {
        {static_cast<ULONG>(received_.size()), SECBUFFER_DATA, received_.data()},
        {0, SECBUFFER_EMPTY, nullptr},
        {0, SECBUFFER_EMPTY, nullptr},
        {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
    SECURITY_STATUS status = SEC_E_INTERNAL_ERROR;
    {
        std::lock_guard sspi(sspiLock);
        status = DecryptMessage(&context_, &desc, 0, nullptr);
    }
    if (status == SEC_E_INCOMPLETE_MESSAGE) {
        needsMore = true;
        return true;
    }
    if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED) {
        return false;
    }
    // The data buffer points into received_, which the extra bytes are moved over next.
    if (const SecBuffer* data = findBuffer(desc, SECBUFFER_DATA)) {
        const char* start = static_cast<const char*>(data->pvBuffer);
        plain_.insert(plain_.end(), start, start + data->cbBuffer);
    }
    if (const SecBuffer* extra = findBuffer(desc, SECBUFFER_EXTRA)) {
        keepExtra(*extra);
    } else {
        received_.clear();
    }
    if (status == SEC_I_CONTEXT_EXPIRED) {
        hasEnded_ = true;
    } else if (status == SEC_I_RENEGOTIATE) {
        // TLS 1.3 sends tickets and key updates after the handshake; the context takes them
        // through the handshake call, and may have an answer for the server.
        std::lock_guard sending(sendLock_);
        const SECURITY_STATUS handled = continueHandshake();
        if (handled != SEC_E_OK && handled != SEC_I_CONTINUE_NEEDED &&
            handled != SEC_E_INCOMPLETE_MESSAGE) {
            return false;
        }
    }
    return true;
}

long SchannelSession::receiveMore(int timeoutMs) {
    if (timeoutMs > 0) {
        WSAPOLLFD wait{socket_, POLLRDNORM, 0};
        const int ready = WSAPoll(&wait, 1, timeoutMs);
        if (ready == 0) {
            return -2;
        }
        if (ready == SOCKET_ERROR) {
            return -1;
        }
    }
    char chunk[16384];
    const int got = ::recv(socket_, chunk, sizeof chunk, 0);
    if (got == SOCKET_ERROR) {
        return -1;
    }
    received_.insert(received_.end(), chunk, chunk + got);
    return got;
}

bool SchannelSession::sendAll(const char* bytes, std::size_t count) {
    std::size_t sent = 0;
    while (sent < count) {
        const int piece = static_cast<int>(std::min<std::size_t>(count - sent, INT_MAX));
        const int written = ::send(socket_, bytes + sent, piece, 0);
        if (written == SOCKET_ERROR || written == 0) {
            return false;
        }
        sent += static_cast<std::size_t>(written);
    }
    return true;
}

void SchannelSession::keepExtra(const SecBuffer& extra) {
    const std::size_t kept = std::min<std::size_t>(extra.cbBuffer, received_.size());
    received_.erase(received_.begin(), received_.end() - static_cast<std::ptrdiff_t>(kept));
}

} // namespace vendrel::win
