// HTTPS through the Linux layer against a local TLS server whose
// certificate, made for 127.0.0.1 when the test starts, the test trusts
// through the layer's options; the system's store does not know it.
#include <gtest/gtest.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "loopback_socket.h"
#include "net/http_fetch.h"

namespace qn {
namespace {

struct FreeKey {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct FreeCert {
    void operator()(X509* cert) const { X509_free(cert); }
};
struct FreeContext {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
struct FreeSsl {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};

// A self-signed certificate for the IP address 127.0.0.1.
struct TestCertificate {
    std::unique_ptr<EVP_PKEY, FreeKey> key;
    std::unique_ptr<X509, FreeCert> cert;
};

TestCertificate make_certificate() {
    TestCertificate made;
    made.key.reset(EVP_EC_gen("P-256"));
    made.cert.reset(X509_new());
    X509* cert = made.cert.get();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 24 * 3600);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("Quennick test"), -1, -1, 0);
    X509_set_issuer_name(cert, name);
    X509_set_pubkey(cert, made.key.get());
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, cert, cert, nullptr, nullptr, 0);
    for (const auto& [nid, value] : {std::pair{NID_basic_constraints, "critical,CA:TRUE"},
                                     std::pair{NID_subject_alt_name, "IP:127.0.0.1"}}) {
        X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
        X509_add_ext(cert, extension, -1);
        X509_EXTENSION_free(extension);
    }
    X509_sign(cert, made.key.get(), EVP_sha256());
    return made;
}

// Answers each TLS connection's one request with a fixed page and keeps
// the request's raw bytes.
class TlsServer {
public:
    explicit TlsServer(const TestCertificate& certificate)
        : context_(SSL_CTX_new(TLS_server_method())) {
        SSL_CTX_use_certificate(context_.get(), certificate.cert.get());
        SSL_CTX_use_PrivateKey(context_.get(), certificate.key.get());
        listener_ = test::listen_loopback(port_);
        thread_ = std::thread([this] { run(); });
    }
    ~TlsServer() {
        stop_ = true;
        thread_.join();
    }
    uint16_t port() const { return port_; }
    std::vector<std::string> requests() {
        const std::lock_guard<std::mutex> guard(mutex_);
        return requests_;
    }

private:
    void run() {
        while (!stop_) {
            test::Socket connection = test::accept_within(listener_, 50);
            if (!connection.valid()) {
                continue;
            }
            std::unique_ptr<SSL, FreeSsl> ssl(SSL_new(context_.get()));
            SSL_set_fd(ssl.get(), static_cast<int>(connection.native()));
            if (SSL_accept(ssl.get()) != 1) {
                continue;  // the client refused the certificate
            }
            std::string request;
            char buffer[4096];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const int n = SSL_read(ssl.get(), buffer, sizeof buffer);
                if (n <= 0) {
                    break;
                }
                request.append(buffer, static_cast<size_t>(n));
            }
            {
                const std::lock_guard<std::mutex> guard(mutex_);
                requests_.push_back(request);
            }
            const std::string reply =
                "HTTP/1.1 200 OK\r\nSet-Cookie: tls=1; Secure\r\nContent-Length: 6\r\n\r\nsecret";
            SSL_write(ssl.get(), reply.data(), static_cast<int>(reply.size()));
            SSL_shutdown(ssl.get());
        }
    }

    std::unique_ptr<SSL_CTX, FreeContext> context_;
    test::Socket listener_;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

class HttpsOverLoopback : public ::testing::Test {
protected:
    void SetUp() override {
        ca_file_ = std::filesystem::temp_directory_path() /
                   ("qn-net-test-ca-" + std::to_string(::getpid()) + ".pem");
        FILE* file = std::fopen(ca_file_.c_str(), "w");
        ASSERT_NE(file, nullptr);
        PEM_write_X509(file, certificate_.cert.get());
        std::fclose(file);
    }
    void TearDown() override { std::filesystem::remove(ca_file_); }

    TestCertificate certificate_ = make_certificate();
    std::filesystem::path ca_file_;
};

TEST_F(HttpsOverLoopback, TrustedCertificateGivesThePage) {
    TlsServer server(certificate_);
    inet::LayerOptions options;
    options.ca_file = ca_file_.string();
    const auto layer = inet::make_platform_layer(options);
    const std::string url = "HTTPS://127.0.0.1:" + std::to_string(server.port()) + "/secure";
    HttpFetchArgs args;
    args.cookies = Text();
    EXPECT_EQ(http_fetch(*layer, url, args).view(), "secret");
    EXPECT_EQ(args.returned_headers.str(),
              "HTTP/1.1 200 OK\r\nSet-Cookie: tls=1; Secure\r\nContent-Length: 6\r\n\r\n");
    EXPECT_EQ(args.cookies->str(), "tls=1");
    const std::vector<std::string> requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")), "GET /secure HTTP/1.1");
    EXPECT_NE(requests[0].find("\r\nReferer: " + url + "\r\n"), std::string::npos);
}

TEST_F(HttpsOverLoopback, UnknownCertificateIsRefused) {
    TlsServer server(certificate_);
    HttpFetchArgs args;
    args.returned_headers = "before";
    const std::string url = "https://127.0.0.1:" + std::to_string(server.port()) + "/secure";
    EXPECT_TRUE(http_fetch(url, args).empty());
    EXPECT_EQ(args.returned_headers.str(), "before");
    EXPECT_TRUE(server.requests().empty());
}

}  // namespace
}  // namespace qn
