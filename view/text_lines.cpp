#include "view/text_lines.h"

int rewriteLineEnds(const char* text, char* out, int outSize, int* loneCarriageReturns) {
    int n = 0;
    int dropped = 0;
    if (!text || outSize <= 0) return 0;
    const int room = outSize - 1;
    // Each step writes at most three characters; the last ones only when
    // they fit whole, so that no CR LF is cut in half.
    for (const char* p = text; *p && n < room;) {
        if (p[0] == '\r' && p[1] == '\n') {
            if (n + 2 > room) break;
            out[n++] = '\r';
            out[n++] = '\n';
            p += 2;
        } else if (p[0] == '\r' && p[1] == '\r' && p[2] == '\n') {
            const bool blankAfter = p[3] == '\r' && p[4] != '\n';
            if (n + (blankAfter ? 3 : 2) > room) break;
            out[n++] = '\r';
            out[n++] = '\n';
            if (blankAfter) out[n++] = ' ';
            p += blankAfter ? 4 : 3;
        } else if (p[0] == '\n') {
            out[n++] = ' ';
            ++p;
        } else if (p[0] == '\r') {
            ++dropped;
            ++p;
        } else {
            out[n++] = *p++;
        }
    }
    out[n] = 0;
    if (loneCarriageReturns) *loneCarriageReturns += dropped;
    return n;
}
