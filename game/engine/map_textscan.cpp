// The formatted scan of the text map readers (see map_textscan.h). Numbers saturate at the
// limits of their type instead of wrapping, so an out-of-range value in a file can never come
// out as a small in-range one.
#include "engine/map_textscan.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdarg>

namespace {

bool IsSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}

void SkipSpace(MapText* t) {
    while (t->pos < t->size && IsSpace(t->data[t->pos])) ++t->pos;
}

bool ScanInt(MapText* t, int width, int* out) {
    size_t limit = t->size;
    if (width > 0 && t->pos + size_t(width) < limit) limit = t->pos + size_t(width);
    size_t p = t->pos;
    bool negative = false;
    if (p < limit && (t->data[p] == '+' || t->data[p] == '-')) negative = t->data[p++] == '-';
    if (p >= limit || !IsDigit(t->data[p])) {
        t->pos = p;  // a sign without digits is consumed, as the standard scan does
        return false;
    }
    int64_t value = 0;
    for (; p < limit && IsDigit(t->data[p]); ++p)
        if (value <= int64_t(INT_MAX) + 1) value = value * 10 + (t->data[p] - '0');
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    *out = int(value);
    t->pos = p;
    return true;
}

template <typename F>
bool ScanFloat(MapText* t, F* out) {
    size_t p = t->pos;
    bool negative = false;
    if (p < t->size && (t->data[p] == '+' || t->data[p] == '-')) negative = t->data[p++] == '-';
    const char* begin = reinterpret_cast<const char*>(t->data) + p;
    const char* end = reinterpret_cast<const char*>(t->data) + t->size;
    F value = 0;
    std::from_chars_result r{begin, std::errc::invalid_argument};
    if (p < t->size && t->data[p] != '-' && t->data[p] != '+')
        r = std::from_chars(begin, end, value, std::chars_format::general);
    if (r.ec == std::errc::invalid_argument) {
        t->pos = p;
        return false;
    }
    if (r.ec == std::errc::result_out_of_range) {
        // Too large becomes infinite, too small becomes zero.
        bool tiny = false;
        for (const char* c = begin; c + 1 < r.ptr; ++c)
            if ((*c == 'e' || *c == 'E') && c[1] == '-') tiny = true;
        value = tiny ? F(0) : F(HUGE_VAL);
    }
    *out = negative ? -value : value;
    t->pos = size_t(r.ptr - reinterpret_cast<const char*>(t->data));
    return true;
}

}  // namespace

int MAP_TextGetc(MapText* t) {
    if (t->pos >= t->size) return -1;
    return t->data[t->pos++];
}

void MAP_TextUngetc(MapText* t) {
    if (t->pos > 0) --t->pos;
}

size_t MAP_TextLeft(const MapText* t) {
    return t->pos < t->size ? t->size - t->pos : 0;
}

bool MAP_TextScan(MapText* t, const char* f, ...) {
    va_list args;
    va_start(args, f);
    bool matched = true;
    while (*f) {
        const unsigned char c = static_cast<unsigned char>(*f);
        if (IsSpace(c)) {
            SkipSpace(t);
            ++f;
            continue;
        }
        if (c != '%') {
            if (t->pos >= t->size || t->data[t->pos] != c) {
                matched = false;
                break;
            }
            ++t->pos;
            ++f;
            continue;
        }
        ++f;
        int width = 0;
        while (IsDigit(*f)) width = width * 10 + (*f++ - '0');
        bool isLong = false;
        if (*f == 'l') {
            isLong = true;
            ++f;
        }
        const char conversion = *f ? *f++ : 0;
        SkipSpace(t);
        bool ok = false;
        if (conversion == 'd')
            ok = ScanInt(t, width, va_arg(args, int*));
        else if (conversion == 'f' && isLong)
            ok = ScanFloat(t, va_arg(args, double*));
        else if (conversion == 'f')
            ok = ScanFloat(t, va_arg(args, float*));
        if (!ok) {
            matched = false;
            break;
        }
    }
    va_end(args);
    return matched;
}

void MAP_TextSkipLine(MapText* t) {
    while (t->pos < t->size && t->data[t->pos] != '\n') ++t->pos;
}
