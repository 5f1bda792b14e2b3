// The shared secret of a show's machines ([Sync] Key): every sync datagram and clock packet
// between them ends in an HMAC-SHA256 tag of what goes before, so that only a holder of the
// key can speak for the leader or a follower. Without a key it seals and checks nothing.
// Any thread (it holds only the key).
#pragma once

#include <QByteArray>

class CSyncKey {
public:
    static constexpr qsizetype TAG_SIZE = 32;

    CSyncKey() = default;
    explicit CSyncKey(const QByteArray &key) : m_key(key) {}

    bool IsSet() const { return !m_key.isEmpty(); }
    // The tag of the bytes.
    QByteArray Tag(const QByteArray &bytes) const;
    // Appends the tag.
    void Seal(QByteArray &bytes) const { bytes += Tag(bytes); }
    // True when the last TAG_SIZE bytes are the tag of what goes before them.
    bool Verify(const QByteArray &bytes) const;
    // What Seal added taken off again; the bytes as they are when they are too short.
    static QByteArray Unsealed(const QByteArray &bytes) {
        return bytes.size() < TAG_SIZE ? bytes : bytes.left(bytes.size() - TAG_SIZE);
    }

private:
    QByteArray m_key;
};
