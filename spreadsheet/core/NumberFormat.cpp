#include "spreadsheet/core/NumberFormat.h"

namespace spreadsheet {
namespace {

char16_t LowerAscii(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
}

bool IsCurrencySign(char16_t c) {
    switch (c) {
        case u'$':
        case u'\u00A2':  // cent
        case u'\u00A3':  // pound
        case u'\u00A5':  // yen / yuan
        case u'\uFFE5':  // full-width yen / yuan
        case u'\uFFE1':  // full-width pound
        case u'\uFFE0':  // full-width cent
            return true;
        default:
            // The Unicode currency symbols block: euro, won, rupee, rouble, ...
            return c >= u'\u20A0' && c <= u'\u20CF';
    }
}

bool StartsWithNoCase(std::u16string_view text, std::size_t at, std::u16string_view word) {
    if (text.size() - at < word.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (LowerAscii(text[at + i]) != word[i])
            return false;
    return true;
}

// The inside of a [...] bracket: an elapsed-time code ([h], [mm], [ss]) is a time; a [$sign-lcid]
// tag is currency when it names a sign ([$¥-804], [$$-409], [$EUR]) but only a locale when the
// sign is empty ([$-804], [$-F800]). Colours and conditions ([Red], [>100]) mean nothing here.
struct BracketMeaning {
    bool time = false;
    bool currency = false;
};

BracketMeaning ReadBracket(std::u16string_view inside) {
    BracketMeaning meaning;
    if (inside.empty())
        return meaning;
    if (inside[0] == u'$') {
        const std::size_t dash = inside.find(u'-');
        const std::u16string_view sign =
            inside.substr(1, dash == std::u16string_view::npos ? dash : dash - 1);
        meaning.currency = !sign.empty();
        return meaning;
    }
    const char16_t first = LowerAscii(inside[0]);
    if (first != u'h' && first != u'm' && first != u's')
        return meaning;
    for (char16_t c : inside)
        if (LowerAscii(c) != first)
            return meaning;
    meaning.time = true;
    return meaning;
}

}  // namespace

NumberKind ClassifyNumberFormat(std::u16string_view code) {
    bool date = false;
    bool currency = false;
    std::size_t i = 0;
    const std::size_t n = code.size();
    while (i < n) {
        const char16_t c = code[i];
        if (c == u';')
            break;  // only the first section (positive numbers) decides
        switch (c) {
            case u'"': {
                // Quoted text shows literally; a sign in it ("¥"#,##0, built-in 5) is currency.
                std::size_t end = i + 1;
                while (end < n && code[end] != u'"') {
                    if (IsCurrencySign(code[end]))
                        currency = true;
                    ++end;
                }
                i = end + 1;
                continue;
            }
            case u'\\':
                if (i + 1 < n && IsCurrencySign(code[i + 1]))
                    currency = true;
                i += 2;
                continue;
            case u'_':  // _x leaves the width of x; *x repeats x: neither shows x as a code
            case u'*':
                i += 2;
                continue;
            case u'[': {
                const std::size_t close = code.find(u']', i + 1);
                const std::size_t end = close == std::u16string_view::npos ? n : close;
                const BracketMeaning meaning = ReadBracket(code.substr(i + 1, end - i - 1));
                date = date || meaning.time;
                currency = currency || meaning.currency;
                i = end + 1;
                continue;
            }
            default:
                break;
        }
        if (IsCurrencySign(c)) {
            currency = true;
        } else if (StartsWithNoCase(code, i, u"am/pm")) {
            date = true;
            i += 5;
            continue;
        } else if (StartsWithNoCase(code, i, u"a/p")) {
            date = true;
            i += 3;
            continue;
        } else if (StartsWithNoCase(code, i, u"general")) {
            i += 7;
            continue;
        } else {
            switch (LowerAscii(c)) {
                case u'y':
                case u'm':
                case u'd':
                case u'h':
                case u's':
                    date = true;
                    break;
                default:
                    break;
            }
        }
        ++i;
    }
    // A date format shows a date even with a sign in it; the date wins.
    if (date)
        return NumberKind::Date;
    if (currency)
        return NumberKind::Currency;
    return NumberKind::Plain;
}

NumberKind BuiltInNumberFormatKind(int formatId) {
    if ((formatId >= 14 && formatId <= 22) || (formatId >= 45 && formatId <= 47) ||
        (formatId >= 27 && formatId <= 36) || (formatId >= 50 && formatId <= 58))
        return NumberKind::Date;
    // 41 and 43 are the accounting formats without a sign; 42 and 44 carry the locale's sign.
    if ((formatId >= 5 && formatId <= 8) || formatId == 42 || formatId == 44)
        return NumberKind::Currency;
    return NumberKind::Plain;
}

}  // namespace spreadsheet
