// AuthoritySet: the rights of one account on one share, four bits of "LDUA": L list a folder, D download,
// U upload and make folder, A manage. A plain value; whoever holds one guards it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Vuxo {

class AuthoritySet {
public:
    static constexpr uint32_t kList = 1u << 0;
    static constexpr uint32_t kDownload = 1u << 1;
    static constexpr uint32_t kUpload = 1u << 2;
    static constexpr uint32_t kManage = 1u << 3;
    static constexpr uint32_t kAll = kList | kDownload | kUpload | kManage;
    // What an (account, share) pair without a stored entry has.
    static constexpr uint32_t kDefault = kList | kDownload;

    AuthoritySet() = default;
    // Bits outside kAll are dropped.
    explicit AuthoritySet(uint32_t bits) : m_bits(bits & kAll) {}

    uint32_t GetBits() const { return m_bits; }
    bool Has(uint32_t bits) const { return (m_bits & bits) == bits; }
    void Set(uint32_t bits, bool on) { m_bits = on ? (m_bits | (bits & kAll)) : (m_bits & ~bits); }

    bool CanList() const { return Has(kList); }
    bool CanDownload() const { return Has(kDownload); }
    bool CanUpload() const { return Has(kUpload); }
    bool CanManage() const { return Has(kManage); }

    AuthoritySet operator&(AuthoritySet other) const { return AuthoritySet(m_bits & other.m_bits); }
    AuthoritySet& operator&=(AuthoritySet other) {
        m_bits &= other.m_bits;
        return *this;
    }
    friend bool operator==(AuthoritySet a, AuthoritySet b) { return a.m_bits == b.m_bits; }

private:
    uint32_t m_bits = 0;
};

// The letters of "LDUA" for the set bits, always in that order ("" for none).
std::string FormatRights(AuthoritySet rights);
// Bit i is set when the i-th letter of "LDUA" occurs anywhere in the text (case matters; other characters
// are ignored): "AL" and "xLyA" give L+A, "lda" gives nothing.
AuthoritySet ParseRights(std::string_view letters);

// The translated display name of right 0..3 (L, D, U, A), CR, LF, tab and blank trimmed from both ends;
// "" for another index.
std::string GetAuthorityName(int index);

} // namespace Vuxo
