#pragma once

#include <QString>

namespace hlv {

class IniFile;

// A value or file menu of the watch window: its caption holds the value, its check mark
// says whether one is set; unset, the caption is the menu's unset word.
struct WatchMenuValue
{
    QString caption;
    bool checked = false;
};

// The unset words of the value and file menus, which are also what the settings file holds
// for an unset value.
namespace WatchUnset {
inline constexpr const char* kMailServer = "SMTP";
inline constexpr const char* kMailFrom = "FROM";
inline constexpr const char* kMailTo = "TO";
inline constexpr const char* kComputer = "COMPUTER";
inline constexpr const char* kHlvDatabase = "HLV DATABASE";
inline constexpr const char* kJobsCsvFile = "CSV";
} // namespace WatchUnset

// Everything of the watch window that hlvw.ini keeps, in the order of its keys.
struct WatchSettingsState
{
    WatchMenuValue mailServer;      // MailServer
    WatchMenuValue mailFrom;        // MailFrom
    WatchMenuValue mailTo;          // MailTo
    WatchMenuValue messageComputer; // MessageComputer
    WatchMenuValue hlvDatabase;     // HLVDatabase
    bool startMinimised = false;    // StartMinimised
    bool startWatching = false;     // StartWatching
    QString server;                 // Server
    bool watchJobs = false;         // WatchJobs
    WatchMenuValue jobsCsvFile;     // JobsCSVfile
    bool jobsPopupError = false;    // JobsPopupError
    bool jobsEmailError = false;    // JobsEmailError
    bool jobDatabase = false;       // JobDatabase
};

// The section of every key: the product name.
inline constexpr const char* kWatchSettingsSection = "Halvern";

// Writes all thirteen keys in order: captions unchanged (an unset menu writes its unset
// word), flags as "True" or "False", the server box as it is. Nothing is validated.
void SaveWatchSettings(const IniFile& ini, const WatchSettingsState& state);

// Puts the stored values into state, key by key:
// - a caption key sets the caption (its unset word when the value is empty) and checks the
//   menu when the caption differs from the unset word (case-sensitive); a caption equal to
//   its unset word leaves the check mark as it was;
// - a flag is checked exactly when its value is "True";
// - a non-empty Server replaces the server box; an empty one leaves it.
void LoadWatchSettings(const IniFile& ini, WatchSettingsState& state);

} // namespace hlv
