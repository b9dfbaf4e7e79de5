#pragma once
// The command words of menu items (their item ids are the words' name keys) and the checks
// that keep damaged menu data from running: a command must name what it needs.
#include "core/names/CCRC32.h"

class CEmbeddedFillData;
class GMenuItem;

namespace MenuCommand {
constexpr unsigned long LoadLevel = CCRC32::GetCRC("LoadLevel");
constexpr unsigned long LoadMenu = CCRC32::GetCRC("LoadMenu");
constexpr unsigned long LoadMenuKillMe = CCRC32::GetCRC("LoadMenuKillMe");
constexpr unsigned long SwapMenu = CCRC32::GetCRC("SwapMenu");
constexpr unsigned long Cancel = CCRC32::GetCRC("Cancel");
constexpr unsigned long CancelKillMe = CCRC32::GetCRC("CancelKillMe");
constexpr unsigned long QuitGame = CCRC32::GetCRC("QuitGame");
constexpr unsigned long ActivateFocused = CCRC32::GetCRC("ActivateFocused");
} // namespace MenuCommand

// True when the record lies in loaded packed data (or is a test's own) and creates a page.
bool IsMenuTemplate(const CEmbeddedFillData* fillData);
// The item's label as packed data published it, else its text, else its label key.
const char* MenuItemName(GMenuItem* item);
// Every item below the page whose command lacks what it needs is reported by name and
// disabled, so the player can never run it.
void RefuseBadCommands(GMenuItem* page);
