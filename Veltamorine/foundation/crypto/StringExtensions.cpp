#include "StringExtensions.h"

#include <vector>

#include <openssl/evp.h>

namespace StringExtensions {

QString md5(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.constData(), size_t(bytes.size()), digest, &length, EVP_md5(), nullptr) != 1)
        return {};
    return hexString(QByteArray(reinterpret_cast<const char*>(digest), int(length)));
}

QString hexString(const QByteArray& data)
{
    return QString::fromLatin1(data.toHex());
}

namespace {

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

}

std::optional<QByteArray> hexToBytes(const QString& text)
{
    if (text.size() % 2 != 0)
        return std::nullopt;
    QByteArray bytes;
    bytes.reserve(text.size() / 2);
    for (qsizetype i = 0; i < text.size(); i += 2) {
        const int high = hexDigit(text.at(i));
        const int low = hexDigit(text.at(i + 1));
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.append(char((high << 4) | low));
    }
    return bytes;
}

const QString& emailPattern()
{
    static const QString pattern = QString::fromUtf8(
        R"re((?:[a-z0-9!#$%\&'*+/=?\^_`{|}~-]+(?:\.[a-z0-9!#$%\&'*+/=?\^_`{|}~-]+)*|"(?:[\x01-\x08\x0b\x0c\x0e-\x1f\x21\x23-\x5b\x5d-\x7f]|\\[\x01-\x09\x0b\x0c\x0e-\x7f])*")@(?:(?:[a-z0-9](?:[a-z0-9-]*[a-z0-9])?\.)+[a-z0-9](?:[a-z0-9-]*[a-z0-9])?|\[(?:(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\.){3}(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?|[a-z0-9-]*[a-z0-9]:(?:[\x01-\x08\x0b\x0c\x0e-\x1f\x21-\x5a\x53-\x7f]|\\[\x01-\x09\x0b\x0c\x0e-\x7f])+)\]))re");
    return pattern;
}

namespace {

// Character classes of the address pattern.
bool isAlphanumeric(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9');
}

bool isLabelCharacter(char16_t c)
{
    return isAlphanumeric(c) || c == u'-';
}

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

bool isAtomCharacter(char16_t c)
{
    return isAlphanumeric(c) || QStringView(u"!#$%&'*+/=?^_`{|}~-").contains(QChar(c));
}

bool isQuotedText(char16_t c)
{
    return (c >= 0x01 && c <= 0x08) || c == 0x0b || c == 0x0c || (c >= 0x0e && c <= 0x1f) || c == 0x21
        || (c >= 0x23 && c <= 0x5b) || (c >= 0x5d && c <= 0x7f);
}

bool isQuotedPair(char16_t c)
{
    return (c >= 0x01 && c <= 0x09) || c == 0x0b || c == 0x0c || (c >= 0x0e && c <= 0x7f);
}

// One unit of an address literal's tagged content on its own (the pattern's class, which also
// holds "]" and the backslash).
bool isLiteralText(char16_t c)
{
    return (c >= 0x01 && c <= 0x08) || c == 0x0b || c == 0x0c || (c >= 0x0e && c <= 0x1f) || (c >= 0x21 && c <= 0x7f);
}

// The matcher of one text. Each "@" is tried as the address's "@"; the search never restarts
// inside a part it has already scanned, so the cost stays linear in the text's length.
class EmailSearch {
public:
    explicit EmailSearch(const QString& text) : text(text), n(text.size()) {}

    bool found()
    {
        bool inside = false;          // within a quoted local part opened by some earlier quote
        bool afterBackslash = false;  // just after a backslash within one
        bool quoteClosed = false;     // the previous character closed a quoted local part
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t c = at(i);
            if (c == u'@' && i > 0 && (quoteClosed || isAtomCharacter(at(i - 1))) && domainAt(i + 1))
                return true;
            quoteClosed = inside && c == u'"';
            const bool nowInside = (inside && isQuotedText(c)) || (afterBackslash && isQuotedPair(c)) || c == u'"';
            afterBackslash = inside && c == u'\\';
            inside = nowInside;
        }
        return false;
    }

private:
    char16_t at(qsizetype i) const { return i < n ? text.at(i).unicode() : u'\0'; }

    bool domainAt(qsizetype q) { return dottedNameAt(q) || addressLiteralAt(q); }

    // "(label.)+label" as a prefix: the first label's run of letters, digits and hyphens must end
    // in a letter or digit right before a "." that a letter or digit follows.
    bool dottedNameAt(qsizetype q) const
    {
        if (!isAlphanumeric(at(q)))
            return false;
        qsizetype end = q;
        while (isLabelCharacter(at(end)))
            ++end;
        return at(end) == u'.' && isAlphanumeric(at(end - 1)) && isAlphanumeric(at(end + 1));
    }

    // One number of a dotted address literal: the whole digit run from `i`, 1 to 3 digits, three
    // digits only from 000-199 and 200-255. Gives the end of the run, or -1.
    qsizetype octetEnd(qsizetype i) const
    {
        qsizetype end = i;
        while (isDigit(at(end)))
            ++end;
        const qsizetype length = end - i;
        if (length < 1 || length > 3)
            return -1;
        if (length == 3) {
            const char16_t a = at(i), b = at(i + 1), c = at(i + 2);
            const bool fits = a == u'0' || a == u'1' || (a == u'2' && b <= u'4') || (a == u'2' && b == u'5' && c <= u'5');
            if (!fits)
                return -1;
        }
        return end;
    }

    // "[a.b.c.d]" or "[a.b.c.tag:content]".
    bool addressLiteralAt(qsizetype q)
    {
        if (at(q) != u'[')
            return false;
        qsizetype i = q + 1;
        for (int k = 0; k < 3; ++k) {
            const qsizetype end = octetEnd(i);
            if (end < 0 || at(end) != u'.')
                return false;
            i = end + 1;
        }
        const qsizetype last = octetEnd(i);
        if (last >= 0 && at(last) == u']')
            return true;
        qsizetype tagEnd = i;
        while (isLabelCharacter(at(tagEnd)))
            ++tagEnd;
        if (tagEnd == i || !isAlphanumeric(at(tagEnd - 1)) || at(tagEnd) != u':')
            return false;
        return taggedContentClosesAfter(tagEnd + 1);
    }

    // At least one content unit from `s`, then "]". A blank or tab is content only right after a
    // backslash; "]" itself is content too, so the first "]" after the first unit closes.
    bool taggedContentClosesAfter(qsizetype s)
    {
        if (s + 1 >= n)
            return false;
        if (!stopsComputed)
            computeStops();
        const qsizetype close = nextBracket[size_t(s + 1)];
        return close < n && firstInvalid[size_t(s)] >= close;
    }

    bool isLiteralContent(qsizetype i) const
    {
        const char16_t c = at(i);
        if (isLiteralText(c))
            return true;
        return (c == u'\t' || c == u' ') && i > 0 && at(i - 1) == u'\\';
    }

    // For every position: the next "]" and the next character that cannot be content.
    void computeStops()
    {
        stopsComputed = true;
        nextBracket.assign(size_t(n + 1), n);
        firstInvalid.assign(size_t(n + 1), n);
        for (qsizetype i = n - 1; i >= 0; --i) {
            nextBracket[size_t(i)] = at(i) == u']' ? i : nextBracket[size_t(i + 1)];
            firstInvalid[size_t(i)] = isLiteralContent(i) ? firstInvalid[size_t(i + 1)] : i;
        }
    }

    const QString& text;
    const qsizetype n;
    bool stopsComputed = false;
    std::vector<qsizetype> nextBracket;
    std::vector<qsizetype> firstInvalid;
};

}

// The check finds the pattern anywhere in the text, exactly as a search with the pattern would.
// A regular-expression search retries every start and every "@" and goes quadratic on long texts
// (20,000 characters of "a.a.…a@" take half a second, of "a@[1.1.1.a:…" several seconds), so the
// pattern is followed by hand in one pass:
// - a dot-atom local part ending right before an "@" exists exactly when the character before it
//   is an atom character (that character alone is one);
// - a quoted local part ending there is tracked for all opening quotes at once by a two-state scan;
// - the domain half is checked right after the "@": a dotted name, or an address literal.
// The tests hold this against the regular-expression search on many generated texts.
bool isValidEmail(const QString& text)
{
    return EmailSearch(text).found();
}

}
