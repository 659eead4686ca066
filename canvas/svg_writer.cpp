#include "svg_writer.h"

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "fatal.h"

int svg_indent_level = 0;

// 1 when every conversion in format is one of %d, %s, %% and %.2f, which
// write_simple handles; the document uses no others.
static int simple_format(const char *f) {
    for (; (f = strchr(f, '%')) != nullptr; f++) {
        f++;
        if (*f == 'd' || *f == 's' || *f == '%')
            continue;
        if (strncmp(f, ".2f", 3) != 0)
            return 0;
        f += 2;
    }
    return 1;
}

// Writes a simple format (see simple_format) without the general printf
// machinery: the numbers are formatted exactly as printf would, but much
// faster, which matters for large documents. Returns 0, or -1 on a failed
// write.
static int write_simple(FILE *out, const char *f, va_list ap) {
    char num[64];
    int failed = 0;
    while (*f) {
        const char *pct = strchr(f, '%');
        size_t run = pct ? static_cast<size_t>(pct - f) : strlen(f);
        if (run > 0 && fwrite_unlocked(f, 1, run, out) != run)
            failed = 1;
        if (pct == nullptr)
            break;
        const char *text = num;
        char *end = num;
        if (pct[1] == 'd') {
            end = std::to_chars(num, num + sizeof num, va_arg(ap, int)).ptr;
        } else if (pct[1] == 's') {
            text = va_arg(ap, const char *);
            text = text ? text : "(null)";
        } else if (pct[1] == '%') {
            text = "%";
        } else {
            end = std::to_chars(num, num + sizeof num, va_arg(ap, double), std::chars_format::fixed,
                                2)
                      .ptr;
        }
        size_t n = text == num ? static_cast<size_t>(end - num) : strlen(text);
        if (n > 0 && fwrite_unlocked(text, 1, n, out) != n)
            failed = 1;
        f = pct + (pct[1] == '.' ? 4 : 2);
    }
    return failed ? -1 : 0;
}

int svg_printf(FILE *out, int indent, const char *format, ...) {
    int failed = 0;
    if (indent) {
        for (int k = 0; k < svg_indent_level; k++)
            if (fputc_unlocked('\t', out) == EOF)
                failed = 1;
    }
    va_list ap;
    va_start(ap, format);
    if (simple_format(format)) {
        if (write_simple(out, format, ap) != 0)
            failed = 1;
    } else if (vfprintf(out, format, ap) < 0) {
        failed = 1;
    }
    va_end(ap);
    return failed ? -1 : 0;
}

void svg_scale_text(char *buf, size_t size, double scale, double extent) {
    // Seventeen decimals hold any scale a drawing can use to within far less
    // than a pixel; a scale that is no number stops at three.
    for (int decimals = 3; decimals <= 17; decimals++) {
        auto r = std::to_chars(buf, buf + size - 1, scale, std::chars_format::fixed, decimals);
        *(r.ec == std::errc() ? r.ptr : buf) = '\0';
        if (!(std::fabs(strtod(buf, nullptr) - scale) * extent > 1))
            return;
    }
}

void svg_indent() {
    svg_indent_level++;
}

void svg_outdent() {
    svg_indent_level--;
}

// Appends the bytes of text from start up to end, with a NUL, as a line
// unless they are none; line is room for the copy.
static void add_line(const char *text, size_t start, size_t end, strlist *lines,
                     std::string &line) {
    if (end == start)
        return;
    line.assign(text + start, end - start);
    if (strlist_append(lines, line.c_str(), line.size() + 1, nullptr) != 0)
        throw std::bad_alloc();
}

size_t split_step(size_t len, int i) {
    return static_cast<size_t>(std::ceil(static_cast<double>(len) / (i + 1)));
}

size_t longest_newline_run(const char *text, size_t len) {
    size_t longest = 0;
    const char *end = text + len;
    for (;;) {
        const char *nl = static_cast<const char *>(memchr(text, '\n', end - text));
        size_t run = static_cast<size_t>((nl ? nl : end) - text);
        longest = run > longest ? run : longest;
        if (nl == nullptr)
            return longest;
        text = nl + 1;
    }
}

int split_lines(const char *text, int i, strlist *lines) {
    size_t len = strlen(text);
    size_t step = split_step(len, i);
    size_t limit = step, start = 0;
    std::string line;
    for (size_t k = 0; k < len; k++) {
        char c = text[k];
        if (c == '\n' || ((c == ' ' || c == '\t') && k > limit)) {
            add_line(text, start, k, lines, line);
            start = k + 1;
            limit += step;
        }
    }
    add_line(text, start, len, lines, line);
    return i;
}

// The line the internal-error report shows for a character without an
// entity: a fixed number of the report, not a line of any file here.
enum { LINE_XML_ENTITY = 2191 };

// The entity that stands for one of the five XML special characters.
static const char *xml_entity(char c) {
    switch (c) {
    case '&':
        return "&amp;";
    case '\'':
        return "&apos;";
    case '"':
        return "&quot;";
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    }
    fatal_assert("0", "FTD_canvas", LINE_XML_ENTITY);
}

// Length of the valid UTF-8 sequence of two to four bytes at p, with its code
// point in *cp; 0 when p does not start one (overlong forms, surrogates and
// code points above U+10FFFF are not valid). Never reads past a NUL.
static int utf8_sequence(const unsigned char *p, unsigned *cp) {
    unsigned c = p[0];
    int n;
    unsigned min;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2, *cp = c & 0x1F, min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3, *cp = c & 0x0F, min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4, *cp = c & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    for (int k = 1; k < n; k++) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        *cp = (*cp << 6) | (p[k] & 0x3F);
    }
    if (*cp < min || *cp > 0x10FFFF || (*cp >= 0xD800 && *cp <= 0xDFFF))
        return 0;
    return n;
}

// The character of a byte of 0x80 or above read as Windows-1252; 0 for the
// five bytes that code page leaves undefined.
static unsigned cp1252_char(unsigned char b) {
    static const unsigned short high[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    return b < 0xA0 ? high[b - 0x80] : b;
}

// 1 for a character an XML document may hold and a reader should see.
static int xml_char_ok(unsigned cp) {
    if (cp < 0x20)
        return cp == '\t';
    if (cp >= 0x7F && cp <= 0x9F)
        return 0;
    return cp != 0xFFFE && cp != 0xFFFF;
}

static void append_utf8(std::string &out, unsigned cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Appends the character at p (one to four bytes) in its XML form; returns
// the number of bytes of s it took.
static int escape_char(const unsigned char *p, std::string &out) {
    unsigned cp = p[0];
    if (cp < 0x80) {
        if (strchr("&'\"<>", static_cast<int>(cp)))
            out += xml_entity(static_cast<char>(cp));
        else if (xml_char_ok(cp))
            out += static_cast<char>(cp);
        return 1;
    }
    int n = utf8_sequence(p, &cp);
    if (n > 0) {
        if (xml_char_ok(cp))
            out.append(reinterpret_cast<const char *>(p), static_cast<size_t>(n));
        return n;
    }
    cp = cp1252_char(p[0]);
    if (cp != 0 && xml_char_ok(cp))
        append_utf8(out, cp);
    return 1;
}

// 1 for a byte that stands for itself: printable ASCII but the five XML
// special characters.
static int plain_byte(unsigned char b) {
    return b >= 0x20 && b < 0x7F && b != '&' && b != '\'' && b != '"' && b != '<' && b != '>';
}

// Runs of plain bytes are copied whole; every other character goes through
// escape_char.
void xml_escape_append(std::string &out, const char *s) {
    out.reserve(out.size() + strlen(s) + 16);
    const unsigned char *p = reinterpret_cast<const unsigned char *>(s);
    while (*p) {
        const unsigned char *run = p;
        while (plain_byte(*p))
            p++;
        out.append(reinterpret_cast<const char *>(run), static_cast<size_t>(p - run));
        if (*p)
            p += escape_char(p, out);
    }
}

char *xml_escape(const char *s) {
    std::string out;
    try {
        xml_escape_append(out, s);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
    char *copy = static_cast<char *>(malloc(out.size() + 1));
    if (copy)
        memcpy(copy, out.c_str(), out.size() + 1);
    return copy;
}
