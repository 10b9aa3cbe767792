#pragma once
// The shortcut window's texts in both languages.
#include "common/LanguageText.h"

namespace velmora::LinkTexts {

inline constexpr TextPair kCaption{"Link", "Verknüpfung"};
inline constexpr TextPair kLabelProg{"Link target (program.exe)", "Verknüpfungsziel (Programm.exe)"};
inline constexpr TextPair kLabelLinkFolder{"Link file (path/file name)", "Verknüpfungsdatei (Pfad/Dateiname)"};
inline constexpr TextPair kLabelParameter{"Startup parameter (optional)", "Startparameter (optional)"};
inline constexpr TextPair kButtonCreateLink{"Create", "Erstellen"};
inline constexpr TextPair kButtonCancel{"Close", "Schliessen"};
inline constexpr TextPair kHintOpen{"Select link target (prog.exe)", "Verknüpfungsziel wählen (programm.exe)"};
inline constexpr TextPair kHintSaveLink{"Select link file location", "Speicherort Linkdatei auswählen"};
inline constexpr TextPair kHintParam{"Select file to open on program startup (optional)",
                                     "Datei auswählen, die beim Programmstart geladen werden soll (optional)"};

inline constexpr TextPair kMissingInformation{"Missing information!", "Unvollständige Angaben!"};
inline constexpr TextPair kLinkCreated{"Link created", "Verknüpfung erstellt"};
// Followed by a line break and the system's reason.
inline constexpr TextPair kSaveFailed{"The link file could not be written.",
                                      "Die Verknüpfungsdatei konnte nicht geschrieben werden."};
// Followed by a blank line and the path; asked before a file that is no shortcut is replaced.
inline constexpr TextPair kReplaceOtherFile{
    "A file that is not a link already exists under this name. Replace it with the link?",
    "Unter diesem Namen gibt es bereits eine Datei, die keine Verknüpfung ist. Soll sie durch die Verknüpfung "
    "ersetzt werden?"};

} // namespace velmora::LinkTexts
