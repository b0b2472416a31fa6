// The functions of OpenSSL's libcrypto the digests call, each reaching the real one on its
// first call (core/lazy_library.h): a command that takes no MD5 or SHA-1 does not load it.
#include <openssl/err.h>
#include <openssl/evp.h>

#include "core/lazy_library.h"

namespace {
LazyLibrary libcrypto(DORNAVEL_LIBCRYPTO_SONAME); // opened by the first call below
} // namespace

DORNAVEL_LAZY_FUNCTION(libcrypto, EVP_MD_CTX*, EVP_MD_CTX_new, (void), ())
DORNAVEL_LAZY_FUNCTION(libcrypto, void, EVP_MD_CTX_free, (EVP_MD_CTX * context), (context))
DORNAVEL_LAZY_FUNCTION(libcrypto, const EVP_MD*, EVP_md5, (void), ())
DORNAVEL_LAZY_FUNCTION(libcrypto, const EVP_MD*, EVP_sha1, (void), ())
DORNAVEL_LAZY_FUNCTION(libcrypto, int, EVP_DigestInit_ex, (EVP_MD_CTX * context, const EVP_MD* type, ENGINE* engine),
                       (context, type, engine))
DORNAVEL_LAZY_FUNCTION(libcrypto, int, EVP_DigestUpdate, (EVP_MD_CTX * context, const void* data, size_t size),
                       (context, data, size))
DORNAVEL_LAZY_FUNCTION(libcrypto, int, EVP_DigestFinal_ex, (EVP_MD_CTX * context, unsigned char* md, unsigned int* size),
                       (context, md, size))
DORNAVEL_LAZY_FUNCTION(libcrypto, unsigned long, ERR_get_error, (void), ())
DORNAVEL_LAZY_FUNCTION(libcrypto, void, ERR_error_string_n, (unsigned long code, char* text, size_t size),
                       (code, text, size))
