// MD5 and SHA-1 through OpenSSL's EVP interface (Linux, macOS).
#include "identity/digest.h"

#include <openssl/err.h>
#include <openssl/evp.h>

struct Digest::Backend {
    EVP_MD_CTX* context = nullptr;
    ~Backend() { EVP_MD_CTX_free(context); }
};

namespace {

// OpenSSL's own text for its latest error, or what failed when it gives none.
std::string opensslReason(const char* what) {
    const unsigned long code = ERR_get_error();
    if (code == 0) return std::string("OpenSSL: ") + what + " failed";
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return std::string("OpenSSL: ") + what + ": " + text;
}

} // namespace

Digest::Digest(DigestKind kind) : backend_(new Backend), kind_(kind) {
    backend_->context = EVP_MD_CTX_new();
    if (!backend_->context) {
        error_ = opensslReason("EVP_MD_CTX_new");
        return;
    }
    const EVP_MD* method = kind == DigestKind::Md5 ? EVP_md5() : EVP_sha1();
    if (EVP_DigestInit_ex(backend_->context, method, nullptr) != 1) error_ = opensslReason("EVP_DigestInit_ex");
}

Digest::~Digest() = default;

void Digest::update(const unsigned char* data, std::size_t n) {
    if (!ok() || finished_ || n == 0) return;
    if (EVP_DigestUpdate(backend_->context, data, n) != 1) error_ = opensslReason("EVP_DigestUpdate");
}

bool Digest::finish(unsigned char* out) {
    if (!ok() || finished_) return false;
    finished_ = true;
    unsigned char value[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(backend_->context, value, &length) != 1 || length != digestLength(kind_)) {
        error_ = opensslReason("EVP_DigestFinal_ex");
        return false;
    }
    for (unsigned int i = 0; i < length; ++i) out[i] = value[i];
    return true;
}
