#pragma once

#include <optional>
#include <QByteArray>
#include <QString>

namespace tavro::server {

/// How much work an Argon2id hash costs: Interactive for real users, Minimal where a hash is made
/// and checked thousands of times (tests, benchmarks).
enum class HashCost
{
    Interactive,
    Minimal
};

/// The Argon2id hash (libsodium's crypto_pwhash_str format) of \a password; nullopt when the
/// memory for it cannot be had.
std::optional<QString> hashPassword(const QString& password, HashCost cost = HashCost::Interactive);
/// Whether \a password matches \a hash, in time that does not depend on where they differ.
bool verifyPassword(const QString& password, const QString& hash);
/// A new session token: 32 random bytes, hexadecimal; empty when no random source is available.
QString newToken();
/// What is stored for a token (its BLAKE2b hash, hexadecimal), so a copy of the store signs no one in.
QString tokenHash(const QString& token);

} // namespace tavro::server
