#pragma once
// The folder tools window's texts in both languages.
#include "common/LanguageText.h"

namespace velmora::FolderTexts {

inline constexpr TextPair kCaption{"Folder tools", "Ordner-Tools"};
inline constexpr TextPair kNewHint{"New", "Neu"};
inline constexpr TextPair kOpenHint{"Select folder(s)", "Ordner auswählen"};
inline constexpr TextPair kDateHint{"Set new folder date", "Neues Ordnerdatum setzen"};
inline constexpr TextPair kDelHint{"Delete selected folder", "Ausgewählten Ordner löschen"};
inline constexpr TextPair kZipHint{"Protect/Zip folder", "Ordner schützen/packen"};
inline constexpr TextPair kFolderList{"Folder list", "Ordnerliste"};
inline constexpr TextPair kPathColumn{"Folder path", "Ordnerpfad"};
inline constexpr TextPair kDateColumn{"Date", "Datum"};
inline constexpr TextPair kNewDate{"New date: ", "Neues Datum: "};
inline constexpr TextPair kClose{"Close", "Schliessen"};

inline constexpr TextPair kNoDirectory{"No directory selected", "Kein Ordner ausgewählt"};
inline constexpr TextPair kFolderNotFound{"Folder not found!", "Ordner nicht gefunden"};
inline constexpr TextPair kDeleteQuestion{"Delete folder permanently?", "Ordner endgültig löschen?"};
inline constexpr TextPair kDeleted{"Folder deleted", "Ordner gelöscht;"};
inline constexpr TextPair kDeleteFailed{"Deleting folder failed ", "Fehler beim Löschen des Ordners "};
inline constexpr TextPair kExplorerFailed{"Starting Windows Explorer failed.",
                                          "Windows Explorer konnte nicht gestart werden."};
// Folder times pass through the MS-DOS date-time, which holds only these years.
inline constexpr TextPair kDateOutOfRange{
    "The date cannot be stored: folder dates must lie between 1980 and 2107. No folder was changed.",
    "Das Datum kann nicht gespeichert werden: Ordnerdaten müssen zwischen 1980 und 2107 liegen. Kein Ordner wurde "
    "geändert."};

// The parse error of the date routines, German whatever the language; %s is the entered text.
inline constexpr const char* kInvalidDateFormat = "''%s'' ist kein gültiges Datum";

} // namespace velmora::FolderTexts
