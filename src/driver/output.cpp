#include "driver/output.h"

#include <cstdarg>
#include <cstdio>

#include "driver/run_settings.h"
#include "html/page_elements.h"

void out_char(char c) { putc(c, settings.output); }

int out_text(std::string_view text) {
    fwrite(text.data(), 1, text.size(), settings.output);
    return static_cast<int>(text.size());
}

int out_format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = vfprintf(settings.output, format, args);
    va_end(args);
    return n;
}

int out_hex(uint32_t value, int min_digits) {
    char digits[8];
    int n = 0;
    do {
        digits[n++] = "0123456789abcdef"[value & 15];
        value >>= 4;
    } while (value != 0);
    int written = 0;
    for (; min_digits > n; --min_digits, ++written) out_char('0');
    while (n > 0) out_char(digits[--n]), ++written;
    return written;
}

int out_decimal(int32_t value) {
    char digits[12];
    int n = 0;
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    do {
        digits[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    int written = 0;
    if (value < 0) out_char('-'), ++written;
    while (n > 0) out_char(digits[--n]), ++written;
    return written;
}

int out_input_text(std::string_view text) {
    if (!html_output()) return out_text(text);
    for (char c : text) {
        switch (c) {
        case '<': out_text("&lt;"); break;
        case '>': out_text("&gt;"); break;
        case '&': out_text("&amp;"); break;
        case '"': out_text("&quot;"); break;
        default: out_char(c);
        }
    }
    return static_cast<int>(text.size());
}
