// The dispatch table of the editor: which part carries out which commands.
//
// Every owner of app/commands.h gets its handler here. An owner left without
// one is not available yet: its menu items and buttons are greyed and a
// request for one of its commands does nothing (a batch run reports it and
// ends with a non-zero exit code). Handlers receive the CommandRequest;
// requests with `path` set act on that file without a dialog (open by name
// from the command line, DDE, dropped files and recent files; batch
// targets), see app/commands.h for the flags.
#include <cstdio>

#include "app/frame_win32.h"
#include "config/language_config.h"
#include "config/menu_captions_win32.h"

bool configurationFileCommand(const CommandRequest& request) {
    if (request.command != 7570) return false;
    // A pristine copy of the menu restores captions the new file leaves out.
    HMENU fresh = LoadMenuA(g_frame.instance, g_strings.menuName);
    Win32MenuCaptions captions(g_frame.menu, fresh);
    int result = setConfigurationFile(g_languageConfig, &captions);
    if (fresh) DestroyMenu(fresh);
    DrawMenuBar(g_frame.frame);
    if (result & kConfigChosen) {
        std::snprintf(g_frameSettings.configurationFile, sizeof g_frameSettings.configurationFile, "%s",
                      g_languageConfig.path);
        g_frameSettings.window.changed = true;
    }
    return result != 0;
}

void installCommandRoutes() {
    setCommandRoute(CommandOwner::frame, frameCommand);

    // Not available yet - each waits for its part:
    //   document       new, open, close, insert file, short information
    //   save           save, save as, save all
    //   generator      generate, generate as, generate all
    //   exporter       export, export as
    //   configuration  language configuration file: configurationFileCommand
    //                  is ready; marking open diagrams changed and repainting
    //                  them is the view's
    //   settings       save settings: saveSettingsCommand with
    //                  g_settingsHooks.chooseSaveSettings = chooseSaveSettingsWin32
    //   layout         layout, screen and printer font
    //   view           segment windows, navigation, overview, structure list
    //   edit           construct editing and insertion, default action 8601
    //   undo           undo of the last change
    //   clipboard      cut, copy and paste of constructs
    //   text           text editing in constructs, editors
    //   search         search and replace
    //   tools          Execute programs, program linking
    //   result         result window
    //   print          print, printer setup, page preview
    //   addIn          add-in commands
    //   fileTransfer, browser  outside libraries
}
