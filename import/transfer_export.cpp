// The transfer-file export.
#include "import/transfer_export.h"

#include <cstdio>
#include <cstring>

#include "config/language_config.h"
#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/construct_node.h"
#include "core/diagram_document.h"
#include "core/diagram_file.h"
#include "core/host.h"
#include "core/outcome.h"
#include "core/path.h"
#include "core/replacement_file.h"
#include "generator/generation.h"
#include "import/document_attributes.h"
#include "import/parser_import.h"
#include "import/transfer_keywords.h"
#include "platform/platform.h"
#include "resources/strings.h"

// The string table holds the keywords at their indexes.
#define KORRIN_KW_ID_CHECK(index, name, value) \
    static_assert(IDS_ETF_##name == kTransferKeywordFirstId + (index), "keyword " #name);
KORRIN_TRANSFER_KEYWORDS(KORRIN_KW_ID_CHECK)
KORRIN_TRANSFER_OTHER_KEYWORDS(KORRIN_KW_ID_CHECK)
#undef KORRIN_KW_ID_CHECK

namespace {

// The structure of the entries agrees with the construct catalogue.
constexpr bool entriesMatchCatalogue() {
    for (const TransferConstruct& c : kTransferConstructs) {
        if (c.type < kMinTypeCode || c.type > kMaxTypeCode) return false;
        const int row = catalogue_detail::kTypeIndex.row[c.type];
        if (row < 0) return false;
        const ConstructInfo& info = kConstructCatalogue[row];
        if (info.childCount != c.sequences) return false;
        for (int i = 0; i < c.sequences; ++i)
            if (slotCode(info.children[i].slot) != c.slots[i]) return false;
    }
    return true;
}
static_assert(entriesMatchCatalogue(), "transfer entries and catalogue disagree");

constexpr int kKeywordTextSize = kTransferKeywordMaxLength + 1;

// Now, as the generator writes \%TIME%.
void localTime(char* out, std::size_t size) {
    GenTime now{};
    localNow(&now);
    systemTimeText(now, out, size);
}

ExportClock g_clock = localTime;

struct Frame {
    ConstructNode* node;
    const TransferConstruct* construct;
    int sequence;
    bool loadedHere;  // the segment body was loaded for the export
};

struct Writer {
    BufferedFile* file;
    DiagramDocument* document;
    char (*keywords)[kKeywordTextSize];
    bool failed;
    Frame* frames;
    int depth;
    int capacity;
};

const char* keywordText(const Writer& w, TransferKeyword k) {
    return w.keywords[keywordIndex(k)];
}

void put(Writer& w, const char* bytes, std::size_t n) {
    if (n && bfile::write(w.file, bytes, static_cast<std::int32_t>(n)) < 0) w.failed = true;
}

// The bytes of a value; a Ctrl-Z goes out as a blank.
void putValue(Writer& w, const char* text, std::size_t n) {
    while (n > 0) {
        const char* stop = static_cast<const char*>(std::memchr(text, 0x1A, n));
        const std::size_t run = stop ? static_cast<std::size_t>(stop - text) : n;
        put(w, text, run);
        if (!stop) break;
        put(w, " ", 1);
        text += run + 1;
        n -= run + 1;
    }
}

char* formatNumber(char* end, long long value) {
    const bool negative = value < 0;
    unsigned long long v =
        negative ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    char* p = end;
    do {
        *--p = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v);
    if (negative) *--p = '-';
    return p;
}

// keyword, form character and value, CR LF. A keyword without text is not
// written.
void entry(Writer& w, TransferKeyword k, char form, const char* value = nullptr, std::size_t n = 0) {
    const char* text = keywordText(w, k);
    if (!*text) return;
    char head[kKeywordTextSize + 1];
    const std::size_t length = std::strlen(text);
    std::memcpy(head, text, length);
    head[length] = form;
    put(w, head, length + 1);
    putValue(w, value, n);
    put(w, "\r\n", 2);
}

void valueEntry(Writer& w, TransferKeyword k, const char* value) {
    entry(w, k, '=', value, value ? std::strlen(value) : 0);
}

void numberEntry(Writer& w, TransferKeyword k, long long number) {
    char digits[24];
    char* end = digits + sizeof digits;
    char* p = formatNumber(end, number);
    entry(w, k, '=', p, static_cast<std::size_t>(end - p));
}

// keyword:line, or keyword; for line 0.
void openingEntry(Writer& w, TransferKeyword k, std::int32_t line) {
    if (line == 0) {
        entry(w, k, ';');
        return;
    }
    char digits[24];
    char* end = digits + sizeof digits;
    char* p = formatNumber(end, line);
    entry(w, k, ':', p, static_cast<std::size_t>(end - p));
}

// One entry per text line; lines end at CR LF, CR or LF.
void lineEntries(Writer& w, TransferKeyword k, const char* text) {
    if (!text || !*text) return;
    const char* p = text;
    for (;;) {
        const char* stop = std::strpbrk(p, "\r\n");
        const std::size_t n = stop ? static_cast<std::size_t>(stop - p) : std::strlen(p);
        entry(w, k, '=', p, n);
        if (!stop) break;
        p = stop + ((stop[0] == '\r' && stop[1] == '\n') ? 2 : 1);
    }
}

void labelEntries(Writer& w, const ConstructNode* node) {
    lineEntries(w, TransferKeyword::Label, leftLabel(node));
    lineEntries(w, TransferKeyword::RightLabel, rightLabel(node));
}

void levelOpening(Writer& w, const ConstructNode* level) {
    const LevelInfo* info = levelInfoOf(level);
    char value[32];
    char* end = value + sizeof value;
    char* p = end;
    if (level->lineNumber != 0) {
        p = formatNumber(end, level->lineNumber);
        *--p = ':';
    }
    p = formatNumber(p, info ? info->levelId : 0);
    entry(w, TransferKeyword::Level, '=', p, static_cast<std::size_t>(end - p));
}

bool push(Writer& w, const Frame& frame) {
    if (w.depth == w.capacity) {
        const int capacity = w.capacity ? w.capacity * 2 : 64;
        auto* frames = static_cast<Frame*>(memAlloc(sizeof(Frame) * static_cast<std::size_t>(capacity)));
        if (!frames) return false;
        if (w.depth) std::memcpy(frames, w.frames, sizeof(Frame) * static_cast<std::size_t>(w.depth));
        memFree(w.frames);
        w.frames = frames;
        w.capacity = capacity;
    }
    w.frames[w.depth++] = frame;
    return true;
}

void pageOutAgain(Writer& w, ConstructNode* level) {
    const SegmentSource* source = w.document->segmentSource;
    if (source && source->pageOut) source->pageOut(source->context, w.document, level);
}

// The entries of the sequence from `head`, in document order, without
// recursion.
void writeSequence(Writer& w, ConstructNode* head) {
    ConstructNode* node = head;
    for (;;) {
        if (w.failed || g_outcome.jobCancelled) {
            w.failed = true;
            break;
        }
        if (node) {
            const TransferConstruct* c = transferConstructOfType(typeCode(node->type));
            if (!c) {
                node = node->next;
                continue;
            }
            if (node->type == ConstructType::Level)
                levelOpening(w, node);
            else
                openingEntry(w, c->open, node->lineNumber);
            labelEntries(w, node);
            if (c->sequences == 0) {
                if (c->close != TransferKeyword::None) {
                    lineEntries(w, TransferKeyword::Line, textOf(node));
                    entry(w, c->close, ';');
                }
                node = node->next;
                continue;
            }
            if (!push(w, Frame{node, c, 0, false})) {
                w.failed = true;
                break;
            }
            node = childAt(node, static_cast<Slot>(c->slots[0]));
            continue;
        }
        if (w.depth == 0) break;
        Frame& f = w.frames[w.depth - 1];
        ++f.sequence;
        if (f.sequence < f.construct->sequences) {
            bool available = true;
            if (f.node->type == ConstructType::Level &&
                f.construct->slots[f.sequence] == slotCode(Slot::Body) &&
                !(segmentFlags(f.node) & kSegLoaded)) {
                available = ensureLoaded(f.node, w.document) != 0;
                f.loadedHere = available;
            }
            if (available) {
                entry(w, f.construct->separators[f.sequence - 1], ';');
                node = childAt(f.node, static_cast<Slot>(f.construct->slots[f.sequence]));
            } else {
                // The content cannot be loaded: no body part, and the
                // export fails.
                if (!w.failed) reportUnloadableSegment(w.document);
                w.failed = true;
                f.sequence = f.construct->sequences - 1;
            }
            continue;
        }
        entry(w, f.construct->close, ';');
        ConstructNode* done = f.node;
        if (f.loadedHere) pageOutAgain(w, done);
        --w.depth;
        node = done->next;
    }
}

void writeOptions(Writer& w, const DiagramDocument* doc) {
    const DisplayOptions& d = doc->display;
    entry(w, TransferKeyword::Options, ';');
    valueEntry(w, TransferKeyword::IfLayout, d.ifLayout == 1 ? "vertical" : "horizontal");
    valueEntry(w, TransferKeyword::LevelNumbers, d.showLevelNumbers ? "yes" : "no");
    valueEntry(w, TransferKeyword::LineNumbers, d.showLineNumbers ? "yes" : "no");
    char text[kFontDescriptionSize];
    formatColourList(d.colours, text, sizeof text);
    valueEntry(w, TransferKeyword::Colors, text);
    formatFontDescription(d.screenFont, text, sizeof text);
    valueEntry(w, TransferKeyword::ScreenFont, text);
    formatFontDescription(d.printerFont, text, sizeof text);
    valueEntry(w, TransferKeyword::PrinterFont, text);
    numberEntry(w, TransferKeyword::LastLevelId, doc->lastLevelId);
    entry(w, TransferKeyword::EndOptions, ';');
}

}  // namespace

ExportClock setExportClock(ExportClock clock) {
    ExportClock previous = g_clock;
    g_clock = clock ? clock : localTime;
    return previous;
}

int writeTransferFile(DiagramDocument* document, BufferedFile* file, const char* timeText) {
    DiagramDocument* doc = document ? document : currentDocument();
    if (!file) return 0;
    CurrentDocumentScope scope(doc);
    Writer w{file, doc, nullptr, false, nullptr, 0, 0};
    // The keyword texts from the string table.
    w.keywords = static_cast<char(*)[kKeywordTextSize]>(
        memAlloc(sizeof(char[kKeywordTextSize]) * kTransferKeywordCount));
    if (!w.keywords) return 0;
    for (int i = 0; i < kTransferKeywordCount; ++i)
        platform::loadString(kTransferKeywordFirstId + static_cast<unsigned>(i), w.keywords[i],
                             kKeywordTextSize);

    char header[96];
    std::snprintf(header, sizeof header, "VRD V%s %s", kTransferVersion, timeText ? timeText : "");
    valueEntry(w, TransferKeyword::Korrin, header);
    entry(w, TransferKeyword::ShortInfo, ';');
    lineEntries(w, TransferKeyword::Line, doc->shortInfo);
    entry(w, TransferKeyword::EndShortInfo, ';');
    writeOptions(w, doc);
    if (doc->root) writeSequence(w, doc->root);

    memFree(w.frames);
    memFree(w.keywords);
    if (bfile::hasError(file) || g_outcome.jobCancelled) w.failed = true;
    return w.failed ? 0 : 1;
}

int exportTransferFile(DiagramDocument* document, const char* path, bool oem) {
    if (!path || !*path) return 0;
    // Written beside the target, which it replaces once complete.
    char work[kPathSize];
    platform::OpenInfo info{};
    BufferedFile* file =
        replacementWorkName(path, work)
            ? bfile::openFile(work, &info,
                              platform::kOpenCreate | platform::kOpenWrite | platform::kShareExclusive,
                              oem ? kOptOem : 0)
            : nullptr;
    if (!file) {
        if (!g_outcome.jobCancelled) showMessage(IDS_UNABLE_TO_OPEN, kBoxDefault, path);
        return 0;
    }
    Host* host = currentHost();
    char status[kMaxFormatted];
    char previous[kMaxFormatted];
    formatMessage(status, IDS_EXPORTING);
    if (host) {
        host->statusText(previous, sizeof previous);
        host->setStatusText(status);
        host->setWaitCursor(true);
    }
    char time[64] = "";
    g_clock(time, sizeof time);
    int ok = writeTransferFile(document, file, time);
    if (bfile::close(file) < 0) ok = 0;
    if (host) {
        host->setWaitCursor(false);
        host->setStatusText(previous);
    }
    if (!ok) {
        platform::deleteFile(work);
    } else if (!replaceWithWorkFile(work, path)) {
        showMessage(IDS_UNABLE_TO_OPEN, kBoxDefault, path);
        ok = 0;
    }
    return ok;
}

int exportCommand(DiagramDocument* document, unsigned command, const char* path) {
    DiagramDocument* doc = document ? document : currentDocument();
    const ImportEnvironment& env = g_importEnvironment;
    char target[platform::kMaxPath] = "";
    if (path && *path) {
        std::snprintf(target, sizeof target, "%s", path);
    } else {
        const char* stored = env.exportFileOf ? env.exportFileOf(doc) : nullptr;
        if (command != CMD_FILE_EXPORT_AS && stored && *stored) {
            std::snprintf(target, sizeof target, "%s", stored);
        } else {
            Host* host = currentHost();
            if (!host) return 0;
            // Proposed: the stored name, else the diagram's name as ".etf".
            if (stored && *stored) {
                std::snprintf(target, sizeof target, "%s", stored);
            } else if (doc->ownFile.path[0]) {
                copyText(target, fileNameOf(doc->ownFile.path));
                replaceExtension(target, sizeof target, ".etf");
            }
            char name[kMaxFormatted];
            char pattern[kMaxFormatted];
            formatMessage(name, IDS_EXPORT_FILTER_NAME);
            formatMessage(pattern, IDS_EXPORT_FILTER_PATTERN);
            char filter[2 * kMaxFormatted + 2];
            std::snprintf(filter, sizeof filter, "%s|%s", name, pattern);
            FileDialogRequest request{true, 0, filter, env.exportDirectory, "etf", target, sizeof target};
            if (!host->chooseFile(request) || !target[0]) return 0;
        }
    }
    const bool oem = !env.etfFileFormat || *env.etfFileFormat != 0;
    if (!exportTransferFile(doc, target, oem)) return 0;
    if (env.exportDone) env.exportDone(doc, target);
    return 1;
}
