// MD5 and SHA-1 through Windows CNG, with the classic call sequence (open the algorithm,
// create a hash object, hash the data, finish, destroy, close) that every Windows since
// Vista has and that MinGW's headers declare. bcrypt.dll is a system DLL.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <bcrypt.h>

#include <cstdio>
#include <vector>

#include "identity/digest.h"

struct Digest::Backend {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    std::vector<UCHAR> object; // the memory CNG keeps the running state in
    ~Backend() {
        if (hash) BCryptDestroyHash(hash);
        if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
    }
};

namespace {

// What failed, with CNG's status code.
std::string cngReason(const char* call, NTSTATUS status) {
    char text[96];
    std::snprintf(text, sizeof text, "CNG: %s failed (status 0x%08lX)", call,
                  static_cast<unsigned long>(status));
    return text;
}

} // namespace

Digest::Digest(DigestKind kind) : backend_(new Backend), kind_(kind) {
    const wchar_t* name = kind == DigestKind::Md5 ? BCRYPT_MD5_ALGORITHM : BCRYPT_SHA1_ALGORITHM;
    NTSTATUS status = BCryptOpenAlgorithmProvider(&backend_->algorithm, name, nullptr, 0);
    if (!BCRYPT_SUCCESS(status)) {
        backend_->algorithm = nullptr;
        error_ = cngReason("BCryptOpenAlgorithmProvider", status);
        return;
    }
    DWORD objectLength = 0;
    ULONG got = 0;
    status = BCryptGetProperty(backend_->algorithm, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectLength),
                               sizeof objectLength, &got, 0);
    if (!BCRYPT_SUCCESS(status)) {
        error_ = cngReason("BCryptGetProperty", status);
        return;
    }
    backend_->object.resize(objectLength);
    status = BCryptCreateHash(backend_->algorithm, &backend_->hash, backend_->object.data(), objectLength, nullptr,
                              0, 0);
    if (!BCRYPT_SUCCESS(status)) {
        backend_->hash = nullptr;
        error_ = cngReason("BCryptCreateHash", status);
    }
}

Digest::~Digest() = default;

// CNG counts lengths in ULONG: a range is fed in pieces that fit.
void Digest::update(const unsigned char* data, std::size_t n) {
    const std::size_t kPiece = std::size_t(1) << 30;
    while (ok() && !finished_ && n > 0) {
        const std::size_t piece = n < kPiece ? n : kPiece;
        const NTSTATUS status =
            BCryptHashData(backend_->hash, const_cast<PUCHAR>(data), static_cast<ULONG>(piece), 0);
        if (!BCRYPT_SUCCESS(status)) error_ = cngReason("BCryptHashData", status);
        data += piece;
        n -= piece;
    }
}

bool Digest::finish(unsigned char* out) {
    if (!ok() || finished_) return false;
    finished_ = true;
    const NTSTATUS status =
        BCryptFinishHash(backend_->hash, out, static_cast<ULONG>(digestLength(kind_)), 0);
    if (BCRYPT_SUCCESS(status)) return true;
    error_ = cngReason("BCryptFinishHash", status);
    return false;
}
