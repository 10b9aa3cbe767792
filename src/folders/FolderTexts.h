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

// Why a folder did not get its new date; %1 is the folder, %2 the system's reason.
inline constexpr TextPair kDateNotPermitted{
    "The date of '%1' was not set: only the folder's owner or an administrator may change its times. The folder was "
    "left as it is.",
    "Das Datum von „%1“ wurde nicht gesetzt: Nur der Besitzer des Ordners oder ein Administrator darf seine Zeiten "
    "ändern. Der Ordner bleibt unverändert."};
inline constexpr TextPair kDateFailed{"The date of '%1' was not set: %2. The folder was left as it is.",
                                      "Das Datum von „%1“ wurde nicht gesetzt: %2. Der Ordner bleibt unverändert."};
inline constexpr TextPair kDateNotRecreated{
    "The date of '%1' was not set: the folder is in use, and no copy with all its properties could be made in its "
    "place (%2). The folder was left as it is.",
    "Das Datum von „%1“ wurde nicht gesetzt: Der Ordner ist in Benutzung, und keine Kopie mit allen Eigenschaften "
    "konnte an seine Stelle treten (%2). Der Ordner bleibt unverändert."};
// Deleting a guarded folder is refused before the question.
inline constexpr TextPair kDeleteGuarded{
    "This folder is not deleted: it is the root folder, or it holds the running program or your home folder.",
    "Dieser Ordner wird nicht gelöscht: Er ist der Stammordner oder enthält das laufende Programm oder Ihren "
    "Benutzerordner."};

// The parse error of the date routines, German whatever the language; %s is the entered text.
inline constexpr const char* kInvalidDateFormat = "''%s'' ist kein gültiges Datum";

} // namespace velmora::FolderTexts
