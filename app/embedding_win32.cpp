// The entry points of an embedding server, exported by korrin.exe so that
// containers that look for them find them. The editor does not serve
// embedded documents: every entry point answers at once with a fixed
// result and touches no state.
//
//   kEmbeddingNotServed (1)  the Server*, Doc* and Obj* calls that would
//                            create, open, show, change or hand out an
//                            object: refused
//   kEmbeddingDone (0)       the calls that end or release something
//                            (ServerExit, ServerRelease, DocClose,
//                            DocRelease, ObjRelease): there is nothing to
//                            end, so they succeed
//
// The functions use the C calling convention without parameters: the
// caller removes its arguments, so a call with any argument list returns
// safely in the 32-bit build as well.
#include "app/frame_win32.h"

namespace {
constexpr long kEmbeddingDone = 0;
constexpr long kEmbeddingNotServed = 1;
}  // namespace

#define KORRIN_EMBEDDING_ENTRY(name, result)               \
    extern "C" __declspec(dllexport) long __cdecl name() { \
        return result;                                     \
    }

KORRIN_EMBEDDING_ENTRY(ServerCreate, kEmbeddingNotServed)
KORRIN_EMBEDDING_ENTRY(ServerCreateFromTemplate, kEmbeddingNotServed)
KORRIN_EMBEDDING_ENTRY(ServerEdit, kEmbeddingNotServed)
KORRIN_EMBEDDING_ENTRY(ServerExecute, kEmbeddingNotServed)
KORRIN_EMBEDDING_ENTRY(ServerExit, kEmbeddingDone)
KORRIN_EMBEDDING_ENTRY(ServerOpen, kEmbeddingNotServed)
KORRIN_EMBEDDING_ENTRY(ServerRelease, kEmbeddingDone)
KORRIN_EMBEDDING_ENTRY(DocClose, kEmbeddingDone)
KORRIN_EMBEDDING_ENTRY(DocExecute, kEmbeddingNotServed)
KORRIN_EMBEDDING_ENTRY(DocGetObject, kEmbeddingNotServed)
KORRIN_EMBEDDING_ENTRY(DocRelease, kEmbeddingDone)
KORRIN_EMBEDDING_ENTRY(DocSave, kEmbeddingNotServed)
KORRIN_EMBEDDING_ENTRY(DocSetColorScheme, kEmbeddingNotServed)
KORRIN_EMBEDDING_ENTRY(DocSetDocDimensions, kEmbeddingNotServed)
KORRIN_EMBEDDING_ENTRY(DocSetHostNames, kEmbeddingNotServed)
KORRIN_EMBEDDING_ENTRY(ObjDoVerb, kEmbeddingNotServed)
KORRIN_EMBEDDING_ENTRY(ObjEnumFormats, kEmbeddingNotServed)
KORRIN_EMBEDDING_ENTRY(ObjGetData, kEmbeddingNotServed)
KORRIN_EMBEDDING_ENTRY(ObjQueryProtocol, kEmbeddingNotServed)
KORRIN_EMBEDDING_ENTRY(ObjRelease, kEmbeddingDone)
KORRIN_EMBEDDING_ENTRY(ObjSetBounds, kEmbeddingNotServed)
KORRIN_EMBEDDING_ENTRY(ObjSetColorScheme, kEmbeddingNotServed)
KORRIN_EMBEDDING_ENTRY(ObjSetData, kEmbeddingNotServed)
KORRIN_EMBEDDING_ENTRY(ObjSetTargetDevice, kEmbeddingNotServed)
KORRIN_EMBEDDING_ENTRY(ObjShow, kEmbeddingNotServed)
