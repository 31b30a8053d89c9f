#include "SigningKey.h"

#include "Crypto.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace halvio::tools {

namespace crypto = platform::crypto;

namespace {
std::runtime_error fileError(const std::filesystem::path& file, const std::string& what) {
    return std::runtime_error(file.string() + ": " + what);
}

// The whole text is written or the file is removed: a half-written key is worse than none.
void writeNewFile(const std::filesystem::path& file, const std::string& text) {
    const int descriptor = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (descriptor < 0) {
        if (errno == EEXIST)
            throw fileError(file, "exists already; a signing key is never overwritten (move it away "
                                  "first if it is really to be replaced)");
        throw fileError(file, std::strerror(errno));
    }
    const ssize_t written = ::write(descriptor, text.data(), text.size());
    const int writeError = errno;
    const bool synced = ::fsync(descriptor) == 0;
    ::close(descriptor);
    if (written != static_cast<ssize_t>(text.size()) || !synced) {
        ::unlink(file.c_str());
        throw fileError(file, std::strerror(writeError ? writeError : EIO));
    }
}
} // namespace

std::string createSigningKey(const std::filesystem::path& privateFile) {
    const crypto::KeyPair pair = crypto::generateKeyPair();
    writeNewFile(privateFile, crypto::toBase64(pair.privateKey) + "\n");
    return crypto::toBase64(pair.publicKey);
}

std::string loadSigningKey(const std::filesystem::path& privateFile) {
    struct stat status {};
    if (::stat(privateFile.c_str(), &status) != 0)
        throw fileError(privateFile, std::strerror(errno));
    if ((status.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        throw fileError(privateFile, "others than its owner may read or change it; the signing key must "
                                     "be readable by its owner only (chmod 600)");
    std::ifstream in(privateFile, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::string line = text.str();
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    const auto key = crypto::fromBase64(line);
    if (!in || !key || key->size() != crypto::kPrivateKeyBytes)
        throw fileError(privateFile, "holds no signing key (one line of base64, 32 bytes)");
    return *key;
}

std::string publicKeyText(const std::string& privateKey) {
    return crypto::toBase64(crypto::publicKeyOf(privateKey));
}

} // namespace halvio::tools
