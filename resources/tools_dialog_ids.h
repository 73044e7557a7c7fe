// Dialog and control ids of resources/tools_dialogs.rc: the program list,
// the settings of one program, its end conditions, the prompt of a run
// and the result window. Plain macros: the resource compiler reads them too.
#pragma once

// The prompt of a run (dialog 580): the text, the answer, a browse button
// for file prompts.
#define IDD_PROGRAM_PROMPT 580
#define IDC_PROMPT_TEXT 201
#define IDC_PROMPT_ANSWER 202
#define IDC_PROMPT_BROWSE 203

// The program list (Options > Program linking).
#define IDD_PROGRAM_LIST 581
#define IDC_PROGRAMS 211
#define IDC_PROGRAM_ADD 212
#define IDC_PROGRAM_EDIT 213
#define IDC_PROGRAM_REMOVE 214
#define IDC_PROGRAM_UP 215
#define IDC_PROGRAM_DOWN 216

// The settings of one program.
#define IDD_PROGRAM_SETTINGS 582
#define IDC_PS_NAME 221
#define IDC_PS_WINDOWS 222
#define IDC_PS_DOS 223
#define IDC_PS_COMMAND 224
#define IDC_PS_DIRECTORY 225
#define IDC_PS_DIRECTORY_BROWSE 226
#define IDC_PS_SAVE 227
#define IDC_PS_EXPORT 228
#define IDC_PS_SAVE_ALL 229
#define IDC_PS_EXPORT_ALL 230
#define IDC_PS_CLOSE 231
#define IDC_PS_LONG_NAMES 232
#define IDC_PS_MINIMIZED 233
#define IDC_PS_STDIN 234
#define IDC_PS_STDIN_FILE 235
#define IDC_PS_STDIN_BROWSE 236
#define IDC_PS_STDOUT 237
#define IDC_PS_STDOUT_FILE 238
#define IDC_PS_STDOUT_BROWSE 239
#define IDC_PS_STDERR 240
#define IDC_PS_STDERR_FILE 241
#define IDC_PS_STDERR_BROWSE 242
#define IDC_PS_RESULT 243
#define IDC_PS_RESULT_BROWSE 244
#define IDC_PS_SHOW_RESULT 245
#define IDC_PS_RESULT_ANSI 246
#define IDC_PS_NOT_EMPTY 247
#define IDC_PS_PARSE 248
#define IDC_PS_SHOW_FILE 249
#define IDC_PS_SHOW_FILE_NAME 250
#define IDC_PS_SHOW_FILE_BROWSE 251
#define IDC_PS_MESSAGE 252
#define IDC_PS_END 253

// The end conditions of one program.
#define IDD_PROGRAM_END 583
#define IDC_END_TERMINATION 261
#define IDC_END_FILE 262
#define IDC_END_FILE_NAME 263
#define IDC_END_FILE_BROWSE 264
#define IDC_END_EVENT 265
#define IDC_END_EVENT_NAME 266
#define IDC_END_DDE 267

// The result window: a read-only text filling it.
#define IDD_RESULT 602
#define IDC_RESULT_TEXT 71
