#include "spectrum/sha256.hpp"

#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>
#else
#include <openssl/evp.h>
#endif

namespace brandel::spectrum {

#ifdef _WIN32

struct Sha256::Impl {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;

    Impl() {
        if (!BCRYPT_SUCCESS(
                BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
            throw std::runtime_error("SHA-256 is not available");
        start();
    }
    ~Impl() {
        if (hash != nullptr)
            BCryptDestroyHash(hash);
        BCryptCloseAlgorithmProvider(algorithm, 0);
    }
    void start() {
        if (!BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0)))
            throw std::runtime_error("SHA-256 is not available");
    }
    void update(std::string_view bytes) {
        // BCrypt takes at most 4 GiB a call.
        while (!bytes.empty()) {
            const ULONG n = bytes.size() > 0x40000000u ? 0x40000000u : ULONG(bytes.size());
            auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data()));
            if (!BCRYPT_SUCCESS(BCryptHashData(hash, data, n, 0)))
                throw std::runtime_error("SHA-256 failed");
            bytes.remove_prefix(n);
        }
    }
    Sha256Digest finish() {
        Sha256Digest digest{};
        const NTSTATUS status = BCryptFinishHash(hash, digest.data(), ULONG(digest.size()), 0);
        BCryptDestroyHash(hash);
        hash = nullptr;
        if (!BCRYPT_SUCCESS(status))
            throw std::runtime_error("SHA-256 failed");
        start();
        return digest;
    }
};

#else

struct Sha256::Impl {
    EVP_MD_CTX* context = EVP_MD_CTX_new();

    Impl() {
        if (context == nullptr)
            throw std::runtime_error("SHA-256 is not available");
        start();
    }
    ~Impl() { EVP_MD_CTX_free(context); }
    void start() {
        if (EVP_DigestInit_ex(context, EVP_sha256(), nullptr) != 1)
            throw std::runtime_error("SHA-256 is not available");
    }
    void update(std::string_view bytes) {
        if (EVP_DigestUpdate(context, bytes.data(), bytes.size()) != 1)
            throw std::runtime_error("SHA-256 failed");
    }
    Sha256Digest finish() {
        Sha256Digest digest{};
        unsigned int size = 0;
        if (EVP_DigestFinal_ex(context, digest.data(), &size) != 1 || size != digest.size())
            throw std::runtime_error("SHA-256 failed");
        start();
        return digest;
    }
};

#endif

Sha256::Sha256() : impl_(std::make_unique<Impl>()) {}
Sha256::~Sha256() = default;

void Sha256::update(std::string_view bytes) {
    impl_->update(bytes);
}

Sha256Digest Sha256::finish() {
    return impl_->finish();
}

Sha256Digest sha256(std::string_view bytes) {
    Sha256 hasher;
    hasher.update(bytes);
    return hasher.finish();
}

std::string to_hex(const Sha256Digest& digest) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text(digest.size() * 2, '0');
    for (std::size_t i = 0; i < digest.size(); ++i) {
        text[2 * i] = digits[digest[i] >> 4];
        text[2 * i + 1] = digits[digest[i] & 15];
    }
    return text;
}

}  // namespace brandel::spectrum
