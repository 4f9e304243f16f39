// KvPrintF: printf on wide text plus "$(Token)" expansion, "$" locale conversions and separator conversions.
#include "kvlang_internal.h"
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

constexpr size_t kMaxDirective = 260; // characters of one conversion directive, "%" included
constexpr size_t kMaxTokenName = 260;

// va_list cannot be handed between functions by value and then read on; a wrapper passed by address can.
struct Arguments {
    va_list list;
};

bool IsConversionChar(wchar_t c) {
    return wcschr(L"!&*,:EGXcdefgiosuxz", c) != nullptr && c != L'\0';
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// The parts of a directive that decide how it is read: "%[flags][width][.precision][size]conversion".
struct Directive {
    bool valid = false;
    bool bare = false;       // nothing between "%" and the conversion character
    bool wide64 = false;     // "I64" or "ll": the argument is a 64-bit integer
    int precision = -1;
    wchar_t conversion = 0;
};

Directive Parse(const wchar_t* directive, size_t length) {
    Directive result;
    result.conversion = directive[length - 1];
    result.bare = (length == 2);
    size_t i = 1, end = length - 1;
    while (i < end && wcschr(L"-+ #0", directive[i]) && directive[i] != L'\0') ++i;
    while (i < end && IsDigit(directive[i])) ++i;
    if (i < end && directive[i] == L'.') {
        ++i;
        int precision = 0;
        while (i < end && IsDigit(directive[i])) {
            if (precision < 100000) precision = precision * 10 + (directive[i] - L'0');
            ++i;
        }
        result.precision = precision;
    }
    if (end - i >= 3 && wcsncmp(directive + i, L"I64", 3) == 0) {
        result.wide64 = true;
        i += 3;
    } else if (end - i >= 3 && wcsncmp(directive + i, L"I32", 3) == 0) {
        i += 3;
    } else if (end - i >= 2 && wcsncmp(directive + i, L"ll", 2) == 0) {
        result.wide64 = true;
        i += 2;
    } else if (i < end && (directive[i] == L'l' || directive[i] == L'h' || directive[i] == L'w')) {
        ++i;
    }
    result.valid = (i == end);
    if (result.wide64 && !wcschr(L"diuxXo", result.conversion)) result.valid = false;
    return result;
}

// The platform's formatting of one directive with one argument; grows its buffer for long results.
class PlatformText {
public:
    template <class T> PlatformText(const wchar_t* directive, T value) {
        if (Try(local_, kLocal, directive, value)) return;
        for (size_t size = 4096; size <= (size_t(1) << 24); size *= 4) {
            heap_.assign(size, L'\0');
            if (Try(heap_.data(), size, directive, value)) return;
        }
        text_ = L"";
        length_ = 0;
    }
    PlatformText(const PlatformText&) = delete;
    PlatformText& operator=(const PlatformText&) = delete;
    const wchar_t* text() const { return text_; }
    size_t length() const { return length_; }
private:
    template <class T> bool Try(wchar_t* buffer, size_t size, const wchar_t* directive, T value) {
#ifdef _MSC_VER
        int written = _snwprintf_s(buffer, size, _TRUNCATE, directive, value);
#else
        int written = _snwprintf(buffer, size - 1, directive, value);
#endif
        if (written < 0 || static_cast<size_t>(written) >= size - 1) return false;
        buffer[written] = L'\0';
        text_ = buffer;
        length_ = static_cast<size_t>(written);
        return true;
    }
    static constexpr size_t kLocal = 512;
    wchar_t local_[kLocal];
    std::vector<wchar_t> heap_;
    const wchar_t* text_ = L"";
    size_t length_ = 0;
};

// Decimal digits of a magnitude, most significant first; returns the count.
size_t Digits(uint64_t value, wchar_t* out) {
    wchar_t reversed[24];
    size_t n = 0;
    do {
        reversed[n++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (size_t i = 0; i < n; ++i) out[i] = reversed[n - 1 - i];
    return n;
}

void PutSigned(KvTextSink& sink, int64_t value, bool locale) {
    wchar_t text[32];
    size_t n = 0;
    uint64_t magnitude = static_cast<uint64_t>(value);
    if (value < 0) {
        text[n++] = L'-';
        magnitude = 0 - magnitude;
    }
    n += Digits(magnitude, text + n);
    if (locale) KvWriteLocaleNumber(sink, text, n, true);
    else sink.Put(text, n);
}

void PutUnsigned(KvTextSink& sink, uint64_t value, bool locale) {
    wchar_t text[32];
    size_t n = Digits(value, text);
    if (locale) KvWriteLocaleNumber(sink, text, n, true);
    else sink.Put(text, n);
}

void PutInat(KvTextSink& sink, int selector) {
    wchar_t value[16];
    KvGetInat(selector, value);
    sink.Put(value);
}

uint64_t PowerOfTen(int exponent) {
    static const uint64_t table[16] = {1ull, 10ull, 100ull, 1000ull, 10000ull, 100000ull, 1000000ull, 10000000ull,
                                       100000000ull, 1000000000ull, 10000000000ull, 100000000000ull,
                                       1000000000000ull, 10000000000000ull, 100000000000000ull,
                                       1000000000000000ull};
    if (exponent < 16) return table[exponent];
    uint64_t value = table[15];
    for (int i = 15; i < exponent && value <= UINT64_MAX / 10; ++i) value *= 10;
    return value;
}

// Fixed point: the integer is a count of 10^-precision units.
void PutFixedPoint(KvTextSink& sink, int32_t value, int precision, bool locale) {
    if (precision <= 0) {
        PutSigned(sink, value, locale);
        return;
    }
    std::vector<wchar_t> text;
    int64_t wide = value;
    if (wide < 0) text.push_back(L'-');
    uint64_t magnitude = static_cast<uint64_t>(wide < 0 ? -wide : wide);
    uint64_t integer = 0, fraction = magnitude; // a 32-bit value is below 10^10, so beyond 18 decimals all is fraction
    if (precision <= 18) {
        uint64_t divisor = PowerOfTen(precision);
        integer = magnitude / divisor;
        fraction = magnitude % divisor;
    }
    wchar_t digits[24];
    size_t n = Digits(integer, digits);
    text.insert(text.end(), digits, digits + n);
    text.push_back(L'.');
    n = Digits(fraction, digits);
    text.insert(text.end(), static_cast<size_t>(precision) - n, L'0');
    text.insert(text.end(), digits, digits + n);
    KvWriteLocaleNumber(sink, text.data(), text.size(), locale);
}

// Writes the result of a "$" floating-point conversion: f grouped, g and G with the decimal separator only.
void PutLocaleFloat(KvTextSink& sink, const PlatformText& formatted, wchar_t conversion) {
    const wchar_t* text = formatted.text();
    size_t length = formatted.length();
    bool hasExponent = wcspbrk(text, L"eE") != nullptr;
    bool notFinite = wcspbrk(text, L"iInN") != nullptr; // inf, nan: leave as formatted
    if (hasExponent || notFinite) {
        sink.Put(text, length);
        return;
    }
    KvWriteLocaleNumber(sink, text, length, conversion == L'f');
}

// Handles one collected directive; returns the format position after it.
const wchar_t* Convert(KvTextSink& sink, const wchar_t* start, const wchar_t* next, const wchar_t* directive,
                       size_t length, bool locale, Arguments& args) {
    wchar_t conversion = directive[length - 1];
    switch (conversion) {
    case L'*': PutInat(sink, 24); return next;
    case L',': PutInat(sink, 40); return next;
    case L':': PutInat(sink, 60); return next;
    case L'!':
        if (*next == L':') { PutInat(sink, 100); return next + 1; }
        if (*next == L'.') { PutInat(sink, 101); return next + 1; }
        if (*next == L',') { PutInat(sink, 102); return next + 1; }
        return next;
    case L'&':
        if (*next == L':') { PutInat(sink, 120); return next + 1; }
        if (*next == L'.') { PutInat(sink, 121); return next + 1; }
        return next;
    default: break;
    }

    Directive parsed = Parse(directive, length);
    if (!parsed.valid) { // never hand the platform a directive it could reject: keep it as text
        sink.Put(start, static_cast<size_t>(next - start));
        return next;
    }
    switch (conversion) {
    case L'd':
    case L'i':
    case L'u': {
        bool isUnsigned = (conversion == L'u');
        int64_t value = parsed.wide64 ? va_arg(args.list, int64_t)
                                      : (isUnsigned ? static_cast<int64_t>(va_arg(args.list, uint32_t))
                                                    : static_cast<int64_t>(va_arg(args.list, int32_t)));
        if (parsed.bare) {
            if (isUnsigned) PutUnsigned(sink, static_cast<uint64_t>(value), locale);
            else PutSigned(sink, value, locale);
            break;
        }
        PlatformText text = parsed.wide64 ? PlatformText(directive, value)
                                          : PlatformText(directive, static_cast<int32_t>(value));
        if (locale) KvWriteLocaleNumber(sink, text.text(), text.length(), true);
        else sink.Put(text.text(), text.length());
        break;
    }
    case L'x':
    case L'X':
    case L'o': {
        if (parsed.wide64) {
            PlatformText text(directive, va_arg(args.list, uint64_t));
            sink.Put(text.text(), text.length());
        } else {
            PlatformText text(directive, va_arg(args.list, uint32_t));
            sink.Put(text.text(), text.length());
        }
        break;
    }
    case L'e':
    case L'E':
    case L'f':
    case L'g':
    case L'G': {
        PlatformText text(directive, va_arg(args.list, double));
        if (locale && conversion != L'e' && conversion != L'E') PutLocaleFloat(sink, text, conversion);
        else sink.Put(text.text(), text.length());
        break;
    }
    case L'z':
        PutFixedPoint(sink, va_arg(args.list, int32_t), parsed.precision, locale);
        break;
    case L'c': {
        int value = va_arg(args.list, int);
        if (parsed.bare) {
            sink.Put(static_cast<wchar_t>(value));
        } else {
            PlatformText text(directive, value);
            sink.Put(text.text(), text.length());
        }
        break;
    }
    case L's': {
        const void* value = va_arg(args.list, const void*);
        if (parsed.bare) {
            sink.Put(value ? static_cast<const wchar_t*>(value) : L"(null)");
        } else {
            PlatformText text(directive, value);
            sink.Put(text.text(), text.length());
        }
        break;
    }
    default: break;
    }
    return next;
}

// "$(" was seen at p: a number literal, a token, or literal text.
const wchar_t* ExpandParenthesis(KvTextSink& sink, const wchar_t* p) {
    const wchar_t* body = p + 2;
    if (IsDigit(*body) || *body == L'-' || *body == L'.') {
        const wchar_t* q = body + 1;
        while (IsDigit(*q) || *q == L'.' || *q == L',') ++q;
        if (*q != L')') {
            sink.Put(p, static_cast<size_t>(q - p));
            return q;
        }
        std::vector<wchar_t> number; // the literal may carry its own grouping commas: drop them
        for (const wchar_t* c = body; c < q; ++c) {
            if (*c != L',') number.push_back(*c);
        }
        KvWriteLocaleNumber(sink, number.data(), number.size(), true);
        return q + 1;
    }
    wchar_t name[kMaxTokenName + 1];
    size_t n = 0;
    const wchar_t* q = body;
    while (*q && *q != L')' && n < kMaxTokenName) name[n++] = *q++;
    name[n] = L'\0';
    if (*q != L')') {
        sink.Put(p, static_cast<size_t>(q - p));
        return q;
    }
    if (!KvPrintF_AppendToken(name, sink)) sink.Put(p, static_cast<size_t>(q + 1 - p));
    return q + 1;
}

int Format(wchar_t* out, size_t capacity, const wchar_t* format, Arguments& args) {
    if (!out) return 0;
    KvTextSink sink(out, capacity);
    const wchar_t* p = format ? format : L"";
    while (*p) {
        wchar_t c = *p;
        if (c != L'$' && c != L'%') {
            sink.Put(c);
            ++p;
            continue;
        }
        wchar_t next = p[1];
        if ((c == L'$' && next == L'$') || (c == L'%' && next == L'%') || (c == L'$' && next == L'%')) {
            sink.Put(next);
            p += 2;
            continue;
        }
        if (c == L'$' && next == L'(') {
            p = ExpandParenthesis(sink, p);
            continue;
        }
        wchar_t directive[kMaxDirective + 1];
        size_t length = 1;
        directive[0] = L'%';
        const wchar_t* q = p + 1;
        bool complete = false;
        while (*q && length < kMaxDirective) {
            directive[length++] = *q;
            if (IsConversionChar(*q++)) {
                complete = true;
                break;
            }
        }
        if (!complete) { // unterminated: the text stays as written
            sink.Put(p, static_cast<size_t>(q - p));
            p = q;
            continue;
        }
        directive[length] = L'\0';
        p = Convert(sink, p, q, directive, length, c == L'$', args);
    }
    return sink.Finish();
}

// Room that callers of the unbounded forms promise; the sink never needs more than the real result.
constexpr size_t kUnbounded = static_cast<size_t>(INT32_MAX);

} // namespace

int KvVPrintFN(wchar_t* out, size_t capacity, const wchar_t* format, va_list args) {
    Arguments copy;
    va_copy(copy.list, args);
    int length = Format(out, capacity, format, copy);
    va_end(copy.list);
    return length;
}

int KvPrintFN(wchar_t* out, size_t capacity, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    int length = KvVPrintFN(out, capacity, format, args);
    va_end(args);
    return length;
}

int KvVPrintF(wchar_t* out, const wchar_t* format, va_list args) {
    return KvVPrintFN(out, kUnbounded, format, args);
}

int KvPrintF(wchar_t* out, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    int length = KvVPrintFN(out, kUnbounded, format, args);
    va_end(args);
    return length;
}
