#pragma once
// The main window's texts in both languages.
#include "common/LanguageText.h"

#include <span>

namespace velmora {

enum class TextTarget { Caption, Hint };

struct ControlText {
    const char* control; // the control's object name
    TextTarget target;
    TextPair text;
};

// Every language-dependent caption and hint of the main window.
std::span<const ControlText> MainWindowTexts();

// Image of the language button: the British flag while English is active, else the German flag.
inline constexpr int kBritishFlagImage = 13;
inline constexpr int kGermanFlagImage = 14;

// Texts that do not change with the language.
inline constexpr const char* kMainCaption = "Velmora";
inline constexpr const char* kInUseText = "In Use";
inline constexpr const char* kSystemText = "System";
inline constexpr const char* kUpdatesHint = "Updates";
inline constexpr const char* kInfoHint = "Info";
inline constexpr const char* kReleaseText = "Release 2.0";
inline constexpr const char* kDefaultAppsFailedText = "Running computer defaults failed!";

// Messages the main window's commands show later.
namespace MainMessages {
inline constexpr TextPair kAttributesChanged{"Attributes changed", "Attribute geändert"};
inline constexpr TextPair kDateRefused{
    "Cannot edit file date! File in use or read only.",
    "Dateidatum kann nicht geändert werden! Datei in Benutzung oder schreibgeschützt."};
inline constexpr TextPair kDatePromptCaption{"New file date", "Neues Dateidatum"};
inline constexpr TextPair kDatePromptText{"Enter Date/Time", "Datum/Zeit eingeben"};
inline constexpr TextPair kAdminWarning{
    "Run application as admin! Otherwise some feature will not work properly.",
    "Führen Sie die Anwendung als Administrator aus! Einige Funktionen des Programms sind ansonsten nicht oder nur "
    "eingeschränkt verfügbar."};
} // namespace MainMessages

} // namespace velmora
