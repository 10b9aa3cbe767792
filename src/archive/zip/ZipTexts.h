#pragma once
// The zip tool window's texts and the messages of its archive commands, in both languages.
#include "common/LanguageText.h"

namespace velmora::ZipTexts {

inline constexpr TextPair kCaption{"Protect/Zip folder", "Ordner schützen/packen"};
inline constexpr TextPair kPasswordLabel{"Password", "Passwort"};
inline constexpr TextPair kDirectoryLabel{"Directory", "Verzeichnis"};
inline constexpr TextPair kZipNameLabel{"Zip name", "Zipname"};
inline constexpr TextPair kNewHint{"New", "Neu"};
inline constexpr TextPair kProtectHint{"Protect folder", "Ordner schützen"};
inline constexpr TextPair kZipHint{"Zip folder", "Ordner packen"};
inline constexpr TextPair kUnzipHint{"Unzip archive", "Ziparchiv entpacken"};
inline constexpr TextPair kSelectFolderHint{"Select folder", "Ordner auswählen"};
inline constexpr TextPair kSelectZipHint{"Select zip file", "Ziparchiv auswählen"};
inline constexpr TextPair kDeletePasswordHint{"Delete password", "Passwort löschen"};
inline constexpr TextPair kClose{"Close", "Schliessen"};

inline constexpr TextPair kFolderOrNameInvalid{"Foldewr not found or invalid output name!",
                                               "Ordner nicht gefunden oder OutputName falsch!"};
inline constexpr TextPair kArchiveCreated{"Archive created.", "Archiv erstellt."};
inline constexpr TextPair kArchiveError{"Error creating archive!", "Fehler beim Erstellen des Archivs"};
inline constexpr TextPair kMoveFailed{
    "Error file operation. Access denied! Run appliocation as admin",
    "Fehler Dateioperation. Zugriff verweigert. Starten Sie ds Programm als Admionistrator"};
inline constexpr TextPair kProtectedCreated{"Protected folder created", "Geschütztes Verzeichnis erstellt."};
inline constexpr TextPair kZipNotFound{"Zip file not found!", "Archiv nicht gefunden."};
inline constexpr TextPair kUnzipped{"Archive unzipped.", "Archiv entpackt."};
inline constexpr TextPair kUnzipError{"Unzip error/invalid password!",
                                      "Fehler beim Entpacken/Passwort falsch oder fehlt!"};
inline constexpr TextPair kWorking{"Zip folder. Wait please...", "Ordner packen. Bitte warten..."};
inline constexpr TextPair kExistsSuffix{" already exists. Overwrite?", " bereits vorhanden. Überschreiben?"};
inline constexpr TextPair kUnzipTo{" unzip to ", " entpacken nach "};
inline constexpr const char* kQuestionEnd = " ?";

// Texts of our own for what protecting refuses or finds, so that nothing is lost.
inline constexpr TextPair kProtectRefused{"The folder cannot be protected: ",
                                          "Der Ordner kann nicht geschützt werden: "};
inline constexpr TextPair kNameNotStorable{
    "The folder cannot be protected: this name would not come back unchanged from the archive (it holds \\, a "
    "control character or bytes that are not UTF-8, or is too long). Rename it first; nothing was changed: ",
    "Der Ordner kann nicht geschützt werden: Dieser Name käme aus dem Archiv nicht unverändert zurück (er enthält "
    "\\, ein Steuerzeichen oder Bytes, die kein UTF-8 sind, oder ist zu lang). Bitte zuerst umbenennen; nichts "
    "wurde verändert: "};
inline constexpr TextPair kVerifyFailed{
    "The archive did not match the folder when it was read back; the folder was left as it was: ",
    "Das Archiv stimmte beim Zurücklesen nicht mit dem Ordner überein; der Ordner blieb unverändert: "};
// A gzip file that could not be extracted: no output was written and nothing was replaced.
inline constexpr TextPair kGunzipFailed{"The gzip file could not be extracted; nothing was changed: ",
                                        "Die gzip-Datei konnte nicht entpackt werden; nichts wurde verändert: "};
inline constexpr TextPair kFolderNotRemoved{
    "The protected archive is complete, but the folder could not be removed completely: ",
    "Das geschützte Archiv ist vollständig, aber der Ordner konnte nicht vollständig entfernt werden: "};

// The default password the field starts with.
inline constexpr const char* kDefaultPassword = "lockerbin7";

} // namespace velmora::ZipTexts
