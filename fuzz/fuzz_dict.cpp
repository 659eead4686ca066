// Writes the fuzzers' dictionary: the tokens of a dictionary file, then the
// keyword of every gate kind of the model's kinds table, one quoted token a
// line. Usage: fuzz_dict TOKENS OUT. Returns 0, or 1 when a file cannot be
// read or written.
#include <cstdio>

#include "saFaultTree.h"

int main(int argc, char **argv) {
    if (argc != 3)
        return 1;
    FILE *in = fopen(argv[1], "rb");
    FILE *out = in ? fopen(argv[2], "wb") : nullptr;
    if (out == nullptr) {
        if (in)
            fclose(in);
        return 1;
    }
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, in)) > 0;)
        fwrite(buf, 1, n, out);
    int bad = ferror(in);
    fclose(in);
    fputs("# The gate kinds of the model's kinds table.\n", out);
    for (const ft_kind &k : ft_kinds)
        if (k.keyword != nullptr) {
            // A dictionary token escapes its quote and backslash.
            fputc('"', out);
            for (const char *c = k.keyword; *c; ++c)
                fprintf(out, *c == '"' || *c == '\\' ? "\\%c" : "%c", *c);
            fputs("\"\n", out);
        }
    bad |= ferror(out);
    return (fclose(out) != 0 || bad) ? 1 : 0;
}
