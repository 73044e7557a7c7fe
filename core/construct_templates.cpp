// Fresh constructs from the catalogue's templates.
#include "core/allocator.h"
#include "core/construct_internal.h"
#include "core/diagram_document.h"
#include "core/outcome.h"

namespace {
ClipboardTextHook g_clipboardText = nullptr;
ActionBlockTemplateHook g_actionBlockTemplate = nullptr;

// `count` placeholders for `slot` of `owner`, or constructs of `command`,
// linked into one sequence. Null after freeing what was built when
// allocation fails.
ConstructNode* buildChildren(DiagramDocument* doc, ConstructNode* owner, const TemplateChild& child) {
    ConstructNode* head = nullptr;
    ConstructNode* previous = nullptr;
    for (int i = 0; i < child.count; ++i) {
        ConstructNode* item =
            child.command ? newConstruct(doc, child.command) : newPlaceholder(owner, child.slot);
        if (!item) {
            freeSequence(head);
            return nullptr;
        }
        if (previous) {
            previous->next = item;
            item->up = previous;
        } else {
            head = item;
        }
        previous = item;
    }
    return head;
}
}  // namespace

ClipboardTextHook setClipboardTextHook(ClipboardTextHook hook) {
    ClipboardTextHook previous = g_clipboardText;
    g_clipboardText = hook;
    return previous;
}

ActionBlockTemplateHook setActionBlockTemplateHook(ActionBlockTemplateHook hook) {
    ActionBlockTemplateHook previous = g_actionBlockTemplate;
    g_actionBlockTemplate = hook;
    return previous;
}

ConstructNode* newConstruct(DiagramDocument* document, int command) {
    const ConstructTemplate* tpl = nullptr;
    const ConstructInfo* info = constructForCommand(command, &tpl);
    if (!info) return nullptr;
    DiagramDocument* doc = document ? document : currentDocument();

    switch (tpl->special) {
        case TemplateSpecial::ActionBlock:
            if (ConstructNode* prepared = g_actionBlockTemplate ? g_actionBlockTemplate(doc) : nullptr) {
                if (!g_outcome.jobCancelled) return prepared;
                freeSequence(prepared);  // cut short by a lack of memory
                return nullptr;
            }
            break;
        case TemplateSpecial::ClipboardText: {
            char* text = g_clipboardText ? g_clipboardText() : nullptr;
            if (!text) return nullptr;
            ConstructNode* node = newNode(info->type);
            if (!node) {
                memFree(text);
                return nullptr;
            }
            setText(node, text);
            return node;
        }
        default:
            break;
    }

    ConstructNode* node = newNode(info->type);
    if (!node) return nullptr;
    switch (tpl->special) {
        case TemplateSpecial::FreeCondition:
            setPartInt(node, 0, typeCode(ConstructType::And));
            setPartInt(node, 1, slotCode(Slot::Condition));
            break;
        case TemplateSpecial::HostCommand: {
            auto* record = static_cast<HostCommand*>(memAlloc(sizeof(HostCommand)));
            if (!record) {
                freeSequence(node);
                return nullptr;
            }
            record->kind = tpl->param;
            setPartPtr(node, 0, record);
            break;
        }
        default:
            break;
    }

    for (const TemplateChild& child : tpl->children) {
        if (child.count == 0) continue;
        ConstructNode* head = buildChildren(doc, node, child);
        if (!head) {
            freeSequence(node);
            return nullptr;
        }
        setChildAtAny(head, node, child.slot);
    }

    // The LevelInfo comes last: once it exists nothing else can fail, so a
    // failed construction never uses up a level id.
    if (tpl->special == TemplateSpecial::NewSegment) {
        LevelInfo* levelInfo = newLevelInfo(0, doc);
        if (!levelInfo) {
            freeSequence(node);
            return nullptr;
        }
        setPartPtr(node, 3, levelInfo);
        setSegmentFlags(node, kSegLoaded);
    }
    return node;
}
