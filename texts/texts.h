// Every text that the setup and the uninstaller show, in English and Russian. The Russian texts
// are code page 1251 bytes, written as escapes so that no editor can change them.
#pragma once

#include <string_view>

namespace zorv {

enum class Text {
  Browse,                 // button 1001
  PlaceIcons,             // check box 1002
  RunAfterInstall,        // check box 1003
  DestinationFrame,       // group box 1023
  LanguageLabel,          // label 1024
  FreeLabel,              // label 1020
  NeedLabel,              // label 1021
  NoFreeSpace,            // warning 1011
  Next,                   // button 1006
  Cancel,                 // button 1007; the Russian page keeps its text
  CaptionPrefix,          // page caption, followed by appName
  BrowseTitlePrefix,      // folder browser title, followed by appName
  SetupCorrupted,         // start-up failure box
  SetupCorruptedCaption,  // its caption
  CopyFiles,              // status line when the run starts
  LogNotCreated,          // after the log's path
  FileError,              // before destinationDir
  DirectoryError,         // after the directory
  DirectoryCaption,       // caption of the directory box
  CreateShortcuts,        // status line, group links
  PlaceToDesktop,         // status line, desktop links
  CreateRegistryKeys,     // status line, registry values
  KeyError,               // before the key path
  InstallComplete,        // file-name line at the end
  Ok,                     // button 1007 at the end
  // The uninstaller.
  UninstallCaption,         // caption of the uninstaller's boxes, followed by appName
  UninstallQuestionPrefix,  // the question, before appName
  UninstallQuestionSuffix,  // the question, after appName
  UninstallComplete,        // the end, when everything listed went
  UninstallLeftBehind,      // before the items that could not be removed
  UninstallRefused,         // before the items outside the application's folders
  UninstallNotFound,        // before the items that were already gone
  UninstallWorkKept,        // before the folder kept for the user's files
  UninstallCannot,          // before the reason why nothing was removed
  // Release packages only.
  FileInUsePrefix,  // the Retry/Cancel question, before the file's path
  FileInUseSuffix,  // after it
};

inline constexpr int kEnglish = 0;
inline constexpr int kRussian = 1;

// The text in `language` (1 Russian, anything else English). Text::Cancel has no Russian
// form: hasText() tells the page to leave the button as it is.
std::string_view text(Text t, int language);
bool hasText(Text t, int language);

}  // namespace zorv
