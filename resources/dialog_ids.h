// Dialog and control ids of resources/dialogs.rc: "Save settings", the
// directory browser and the progress of Generate all. Plain macros: the
// resource compiler reads them too.
#pragma once

#define IDD_SAVE_SETTINGS 559
#define IDD_BROWSE_DIRECTORY 592

// Check boxes of the groups.
#define IDC_SAVE_GENERAL 51
#define IDC_SAVE_OPEN_DIR 52
#define IDC_SAVE_INSERT_DIR 53
#define IDC_SAVE_GENERATE_DIR 54
#define IDC_SAVE_EDIT_WINDOWS 56
#define IDC_SAVE_EXPORT_DIR 57
#define IDC_SAVE_OPEN_TYPE 58

// The four directories and their browse buttons.
#define IDC_SAVE_OPEN_DIR_TEXT 61
#define IDC_SAVE_INSERT_DIR_TEXT 62
#define IDC_SAVE_GENERATE_DIR_TEXT 63
#define IDC_SAVE_EXPORT_DIR_TEXT 67
#define IDC_SAVE_OPEN_DIR_BROWSE 71
#define IDC_SAVE_INSERT_DIR_BROWSE 72
#define IDC_SAVE_GENERATE_DIR_BROWSE 73
#define IDC_SAVE_EXPORT_DIR_BROWSE 77

// Directory browser: the directory typed or reached, and the list of
// subdirectories ("[name]", "[..]") and drives ("[-c-]").
#define IDC_BROWSE_PATH 101
#define IDC_BROWSE_LIST 102

// The progress of Generate all (dialog 593): the four lines naming the
// extensions and directories, and the file in progress.
#define IDD_GENERATE_ALL 593
#define IDC_GENALL_LINE1 111
#define IDC_GENALL_LINE2 112
#define IDC_GENALL_LINE3 113
#define IDC_GENALL_LINE4 114
#define IDC_GENALL_FILE 115

// Go to line (dialog 594, `pos_num_proc`): the line number asked for.
#define IDD_GO_TO_LINE 594
#define IDC_LINE_NUMBER 121

// Layout (dialog 603): the if layout, the numbers and labels shown, and
// the colours of the palette with the one chosen shown beside them.
#define IDD_LAYOUT 603
#define IDC_LAYOUT_HORIZONTAL 161
#define IDC_LAYOUT_VERTICAL 162
#define IDC_LAYOUT_LINE_NUMBERS 163
#define IDC_LAYOUT_LEVEL_NUMBERS 164
#define IDC_LAYOUT_LABELS 165
#define IDC_LAYOUT_COLOUR 166
#define IDC_LAYOUT_SWATCH 167
#define IDC_LAYOUT_CHANGE 168

// Printing: the progress of a print job (dialog 500, `AbortDialogProc`),
// the Print dialog (`print_proc`) with its preview list, and the page
// preview (`PrintgridDlgProc`).
#define IDD_PRINT_PROGRESS 500
#define IDC_PROGRESS_LINE1 131
#define IDC_PROGRESS_LINE2 132
#define IDC_PROGRESS_LINE3 133
#define IDC_PROGRESS_LINE4 134
#define IDD_PRINT 501
#define IDC_PRINT_CURRENT 141
#define IDC_PRINT_SELECTED 142
#define IDC_PRINT_DIAGRAM 143
#define IDC_PRINT_LIST 144
#define IDC_PRINT_LOWER 145
#define IDC_PRINT_DEPTH 146
#define IDC_PRINT_DEPTH_SPIN 147
#define IDC_PRINT_HEADER 148
#define IDC_PRINT_FIRST 149
#define IDC_PRINT_FIRST_SPIN 150
#define IDC_PRINT_FIT 151
#define IDC_PRINT_MINFONT 152
#define IDC_PRINT_MINFONT_SPIN 153
#define IDC_PRINT_SAVE 154
#define IDC_PRINT_PREVIEW 155
#define IDC_PRINT_SEGMENTS 156
#define IDC_PRINT_VIEW 157
#define IDD_PAGE_PREVIEW 502

// "Search/Replace" and the question for each match.
#define IDD_SEARCH 595
#define IDC_SEARCH_TEXT 201
#define IDC_SEARCH_CASE 202
#define IDC_SEARCH_WORD 203
#define IDC_SEARCH_WHITE 204
#define IDC_SEARCH_EXPRESSION 205
#define IDC_SEARCH_REPLACE 206
#define IDC_SEARCH_REPLACE_TEXT 207
#define IDC_SEARCH_CAPITALIZE 208
#define IDC_AREA_SEGMENT 211
#define IDC_AREA_TO_SEGMENT_END 212
#define IDC_AREA_SELECTION 213
#define IDC_AREA_DIAGRAM 214
#define IDC_AREA_TO_DIAGRAM_END 215
#define IDC_SEARCH_LOWER 216
#define IDC_SEARCH_ERROR 217
#define IDD_REPLACE_ASK 596
#define IDC_REPLACE_YES 221
#define IDC_REPLACE_NO 222
#define IDC_REPLACE_ALL 223

// The "Text" window: the multi-line and the single-line form.
#define IDD_TEXT_MULTI 597
#define IDD_TEXT_SINGLE 598
#define IDC_TEXT_FIELD 161
#define IDC_TEXT_LINE 162
#define IDC_TEXT_COLUMN 163
#define IDC_TEXT_SOURCE_LINE 164
#define IDC_TEXT_OVERWRITE 165
#define IDC_TEXT_CAPITALIZE 166

// "Editors": the default editor and the external editor's command line.
#define IDD_EDITORS 599
#define IDC_EDITORS_DIRECT 171
#define IDC_EDITORS_WINDOW 172
#define IDC_EDITORS_EXTERNAL 173
#define IDC_EDITORS_COMMAND 174
