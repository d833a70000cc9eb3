#include "service/accounts/AuthoritySet.h"

#include "core/i18n/LocalizationStringTable.h"
#include "core/text/StringHelpers.h"

namespace Vuxo {

namespace {

constexpr std::string_view kRightLetters = "LDUA";

// The display names of L, D, U and A, in bit order.
constexpr const char* kRightNames[] = {"목록 보기", "다운로드", "업로드", "관리"};

} // namespace

std::string FormatRights(AuthoritySet rights) {
    std::string letters;
    for (std::size_t bit = 0; bit < kRightLetters.size(); ++bit) {
        if (rights.Has(1u << bit)) {
            letters += kRightLetters[bit];
        }
    }
    return letters;
}

AuthoritySet ParseRights(std::string_view letters) {
    AuthoritySet rights;
    for (std::size_t bit = 0; bit < kRightLetters.size(); ++bit) {
        if (letters.find(kRightLetters[bit]) != std::string_view::npos) {
            rights.Set(1u << bit, true);
        }
    }
    return rights;
}

std::string GetAuthorityName(int index) {
    if (index < 0 || index >= static_cast<int>(std::size(kRightNames))) {
        return {};
    }
    std::string name = Tr(kRightNames[index]);
    Trim(name, "\r\n\t ");
    return name;
}

} // namespace Vuxo
