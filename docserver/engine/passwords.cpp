#include "passwords.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_set>

namespace docserver {
namespace {

// "$pbkdf2-sha256$" iterations "$" salt (hex) "$" key (hex)
constexpr const char* kScheme = "$pbkdf2-sha256$";
constexpr int kIterations = 20000;
constexpr int kSaltBytes = 16;
constexpr int kKeyBytes = 32;

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// PBKDF2 with HMAC-SHA-256 (RFC 8018), one block: the key is 32 bytes.
QByteArray Derive(const std::string& password, const QByteArray& salt, int iterations) {
    const std::string upper = Upper(password);
    QMessageAuthenticationCode mac(QCryptographicHash::Sha256,
                                   QByteArray(upper.data(), static_cast<qsizetype>(upper.size())));
    mac.addData(salt);
    mac.addData(QByteArray("\0\0\0\1", 4));
    QByteArray block = mac.result();
    QByteArray key = block;
    for (int i = 1; i < iterations; ++i) {
        mac.reset();
        mac.addData(block);
        block = mac.result();
        for (qsizetype j = 0; j < key.size(); ++j) key[j] = static_cast<char>(key[j] ^ block[j]);
    }
    return key.left(kKeyBytes);
}

std::string Compose(int iterations, const QByteArray& salt, const QByteArray& key) {
    return std::string(kScheme) + std::to_string(iterations) + "$" + salt.toHex().toStdString() +
           "$" + key.toHex().toStdString();
}

// Comparing a hash costs many milliseconds, and most commands carry the
// password: pairs once verified are remembered, by a digest, never in clear.
class VerifiedPairs {
  public:
    bool Contains(const QByteArray& digest) {
        std::lock_guard<std::mutex> lock(mutex_);
        return pairs_.count(digest.toStdString()) > 0;
    }
    void Add(const QByteArray& digest) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (pairs_.size() >= 4096) pairs_.clear();
        pairs_.insert(digest.toStdString());
    }

  private:
    std::mutex mutex_;
    std::unordered_set<std::string> pairs_;
};

// Never destroyed, as the process's other tables: a thread may still
// check a login while the process exits.
VerifiedPairs& Verified() {
    static VerifiedPairs& pairs = *new VerifiedPairs;
    return pairs;
}

bool SameBytes(const QByteArray& a, const QByteArray& b) {
    if (a.size() != b.size()) return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

}  // namespace

std::string HashPassword(const std::string& password) {
    QByteArray salt(kSaltBytes, '\0');
    QRandomGenerator::system()->generate(salt.begin(), salt.end());
    return Compose(kIterations, salt, Derive(password, salt, kIterations));
}

bool IsPasswordHash(const std::string& stored) {
    return stored.rfind(kScheme, 0) == 0;
}

bool PasswordMatches(const std::string& stored, const std::string& password) {
    if (!IsPasswordHash(stored)) {
        // A plain row compares as it always did.
        return stored.size() == password.size() && Upper(stored) == Upper(password);
    }
    std::string rest = stored.substr(std::string(kScheme).size());
    std::size_t a = rest.find('$');
    std::size_t b = a == std::string::npos ? a : rest.find('$', a + 1);
    if (b == std::string::npos) return false;
    const std::string countText = rest.substr(0, a);
    if (countText.empty() || countText.size() > 7 ||
        !std::all_of(countText.begin(), countText.end(),
                     [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    int iterations = std::stoi(countText);
    QByteArray salt = QByteArray::fromHex(QByteArray::fromStdString(rest.substr(a + 1, b - a - 1)));
    QByteArray key = QByteArray::fromHex(QByteArray::fromStdString(rest.substr(b + 1)));
    if (iterations < 1 || salt.isEmpty() || key.size() != kKeyBytes) return false;

    const QByteArray digest = QByteArray::fromStdString(PairDigest(stored, password));
    if (Verified().Contains(digest)) return true;
    if (!SameBytes(Derive(password, salt, iterations), key)) return false;
    Verified().Add(digest);
    return true;
}

std::string StoredDigest(const std::string& stored) {
    return QCryptographicHash::hash(QByteArray::fromStdString(stored), QCryptographicHash::Sha256)
        .toStdString();
}

std::string PairDigest(const std::string& stored, const std::string& password) {
    QCryptographicHash pair(QCryptographicHash::Sha256);
    pair.addData(QByteArray::fromStdString(stored));
    pair.addData(QByteArray(1, '\0'));
    pair.addData(QByteArray::fromStdString(Upper(password)));
    return pair.result().toStdString();
}

}  // namespace docserver
