#include "server/Passwords.h"

#include <sodium.h>

namespace tavro::server {

namespace {

bool sodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

} // namespace

std::optional<QString> hashPassword(const QString& password, HashCost cost)
{
    if (!sodiumReady())
        return std::nullopt;
    const QByteArray utf8 = password.toUtf8();
    char hash[crypto_pwhash_STRBYTES];
    const auto ops =
        cost == HashCost::Interactive ? crypto_pwhash_OPSLIMIT_INTERACTIVE : crypto_pwhash_OPSLIMIT_MIN;
    const auto mem =
        cost == HashCost::Interactive ? crypto_pwhash_MEMLIMIT_INTERACTIVE : crypto_pwhash_MEMLIMIT_MIN;
    if (crypto_pwhash_str_alg(hash, utf8.constData(), quint64(utf8.size()), ops, mem,
                              crypto_pwhash_ALG_ARGON2ID13) != 0)
        return std::nullopt;
    return QString::fromLatin1(hash);
}

bool verifyPassword(const QString& password, const QString& hash)
{
    if (!sodiumReady())
        return false;
    const QByteArray utf8 = password.toUtf8();
    const QByteArray stored = hash.toLatin1();
    return crypto_pwhash_str_verify(stored.constData(), utf8.constData(), quint64(utf8.size())) == 0;
}

QString newToken()
{
    if (!sodiumReady())
        return {};
    QByteArray bytes(32, Qt::Uninitialized);
    randombytes_buf(bytes.data(), size_t(bytes.size()));
    return QString::fromLatin1(bytes.toHex());
}

QString tokenHash(const QString& token)
{
    const QByteArray utf8 = token.toUtf8();
    QByteArray digest(crypto_generichash_BYTES, Qt::Uninitialized);
    sodiumReady();
    crypto_generichash(reinterpret_cast<unsigned char*>(digest.data()), size_t(digest.size()),
                       reinterpret_cast<const unsigned char*>(utf8.constData()), quint64(utf8.size()),
                       nullptr, 0);
    return QString::fromLatin1(digest.toHex());
}

} // namespace tavro::server
