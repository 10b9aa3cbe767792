#include "app/MainTexts.h"

namespace velmora {

namespace {
constexpr ControlText kTexts[] = {
    {"ToolButtonLang", TextTarget::Hint, {"Switch language", "Sprache umschalten"}},
    {"ToolButtonLink", TextTarget::Hint, {"Create link", "Link erstellen"}},
    {"ToolButton4", TextTarget::Hint, {"Save file attributes", "Dateieigenschaften speichern"}},
    {"ToolButton6", TextTarget::Hint, {"New", "Neu"}},
    {"ToolButtonDir", TextTarget::Hint, {"Folder tools", "Ordner-Tools"}},
    {"SpeedButton2", TextTarget::Hint, {"Open file", "Datei öffnen"}},
    {"SpeedButton3", TextTarget::Hint, {"Set new file date", "Neues Dateidatum setzen"}},
    {"SpeedButton4", TextTarget::Hint, {"Terminate associated application", "Verbunden Anwendung beenden"}},
    {"ButtonDefaults", TextTarget::Hint, {"Open Windows settings", "Windows Einstellungen öffnen"}},
    {"ButtonClose", TextTarget::Caption, {"Quit", "Schliessen"}},
    {"Label1",
     TextTarget::Caption,
     {"Drag and drop file here to get file infos or use OPEN FILE button",
      "Datei per Drag and Drop hierher ziehen oder mit Dateidialog öffnen"}},
    {"Label3", TextTarget::Caption, {"File size", "Dateigröße"}},
    {"Label2", TextTarget::Caption, {"File date", "Dateidatum"}},
    {"Label6", TextTarget::Caption, {"Last access", "Letzter Zugriff"}},
    {"Label4", TextTarget::Caption, {"File Attributes", "Dateieigenschaften"}},
    {"LabelIcon", TextTarget::Caption, {"File icon", "Datei-Icon"}},
    {"LabelLApp", TextTarget::Caption, {"User choice associated  application", "Nutzerauswahl verknüpfte Anwendung:"}},
    {"LabelDefApp", TextTarget::Caption, {"Default application program list:", "Standardanwendung Programmliste:"}},
    {"CheckBox2", TextTarget::Caption, {"Archive", "Archiv"}},
    {"CheckBox3", TextTarget::Caption, {"Read only", "Schreibgeschützt"}},
    {"CheckBox4", TextTarget::Caption, {"Hidden", "Versteckt"}},
};
} // namespace

std::span<const ControlText> MainWindowTexts()
{
    return kTexts;
}

} // namespace velmora
