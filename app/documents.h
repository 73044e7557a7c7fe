// The open diagrams of the editor and the file commands on them: New,
// Open, Close, Save, Save as, Save all and Insert file, and the per-diagram
// targets of Generate and Export.
//
// Each open diagram is one OpenDiagram record; the windows that show it
// refer to it. The functions here decide and act on documents and files;
// the front end creates and destroys the windows and refreshes titles.
//
// Portable: dialogs and questions go through the host (core/host.h).
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "core/diagram_document.h"
#include "generator/generator.h"
#include "view/display_settings.h"
#include "view/layout.h"

struct ConstructNode;

struct OpenDiagram {
    DiagramDocument document;
    GenerateTarget generateTarget;  // the stored generation file
    char exportPath[kPathSize];     // the stored export file ("" = none yet)
    bool changedSinceExport;
    void* window;  // a front-end window showing it (null = none)
    OpenDiagram* next;
    DisplaySettings display;                 // the palette, switches and fonts it is drawn with
    std::unique_ptr<ViewState> view;         // its layout state: metrics, generations, work memory
    std::vector<std::int32_t> specialLines;  // generated lines an add-in marked, ascending
};

// What new and opened diagrams are drawn with unless their file says
// otherwise: the display keys of the settings file.
extern DisplaySettings g_displayDefaults;

// The open diagrams, newest first.
OpenDiagram* firstDiagram();
int diagramCount();

// A new untitled diagram with an empty top segment (null when memory is
// short, after the message).
OpenDiagram* newDiagram();
// Closes the diagram's document and files and forgets it.
void discardDiagram(OpenDiagram* diagram);
// The open diagram whose own file is `path` (compared as the file system
// does), or null.
OpenDiagram* findDiagramByPath(const char* path);
OpenDiagram* diagramOfDocument(const DiagramDocument* document);

enum class PathPair : int;  // app/settings.h

// The directory the settings keep for `pair` ("" = the current one).
const char* pairDirectory(PathPair pair);
// The transfer file a diagram is exported to when no name is given: its
// name with ".etf" in the export directory. False when it does not fit.
bool defaultExportPath(const OpenDiagram* diagram, char* out, std::size_t size);

// No file name yet.
bool isUntitled(const OpenDiagram* diagram);
// Untitled, unchanged and empty: the window showing it may take a file.
bool isEmptyUntitled(const OpenDiagram* diagram);
// The name the title shows: the file path, or "(Untitled)".
void diagramTitle(const OpenDiagram* diagram, char* out, std::size_t size);

// Opens `path` into `diagram` (which is replaced only on success): the name
// check (missing files may be created), then the document is loaded. A
// source text or transfer file that was converted keeps its name with the
// native extension, unsaved, so that Save never writes diagram data over
// the source. 1 on success.
int loadDiagramFile(OpenDiagram* diagram, const char* path, bool readOnly);

// Asks for a file to open (null when cancelled): the Open dialog in the
// open directory, which then becomes the chosen file's directory.
bool chooseFileToOpen(char* path, std::size_t size);

// Save (askName false: the own name, or the dialog when there is none) and
// Save as (askName true). 1 when saved.
int saveDiagram(OpenDiagram* diagram, bool askName);
// Save all: every changed diagram that has a name, the untitled ones with
// the dialog. 1 when all were saved (a cancelled one ends the run).
int saveAllDiagrams();

// Before a diagram is closed: a changed one asks "Save changes to %s?"
// (Yes/No/Cancel); Yes saves it. True when the diagram may be closed.
// `unattended` (a batch run, which must always end): closed unsaved
// without a question. Otherwise, where nothing may be asked (a call from
// another application), a changed diagram stays open.
bool confirmClose(OpenDiagram* diagram, bool unattended = false);

// After the language configuration was changed (the configuration-file command; `result`
// is what setConfigurationFile returned): every open diagram that holds
// anything is marked changed, since what it generates has changed; with a
// new generation extension (kConfigExtChanged) the stored generation file
// of `current` takes it. The front end refreshes the windows.
void configurationChanged(int result, OpenDiagram* current);

// The diagram is drawn with `display` from now on, and its file carries
// these options: a change marks the document changed (unless it is the
// empty untitled one) and invalidates the geometry it affects. False when
// nothing changed.
bool setDiagramDisplay(OpenDiagram* diagram, const DisplaySettings& display);

// The file for Insert file: `path` made full, or the file chosen in the
// Insert dialog when `path` is null or empty; in `chosen` (kPathSize).
// False when the dialog was cancelled.
bool chooseInsertFile(const char* path, char* chosen);

// Insert file: reads the diagram (or source or transfer) file `path`, or
// the file chosen in the Insert dialog when `path` is null, as a sequence
// and appends it to the top segment of `diagram`. The chosen path is
// returned in `chosen` (kPathSize) for the recent-file list. 1 on success.
int insertFileInto(OpenDiagram* diagram, const char* path, char* chosen);
