// Loading and saving AppSettings and InfoFileList.
#pragma once

#include <string>

#include "platform/reg_store.h"
#include "settings/app_settings.h"

namespace lumora {

// Reads that never fail: the stored value when it exists with the right
// type, else the default.
class TRegistryDefault {
public:
    explicit TRegistryDefault(const RegStore& store) : store_(store) {}
    bool ReadBoolDefault(const std::string& name, bool def) const;
    int ReadIntegerDefault(const std::string& name, int def) const;
    std::string ReadStringDefault(const std::string& name, const std::string& def) const;

private:
    const RegStore& store_;
};

struct SettingsLocation {
    std::string storePath;   // the REGEDIT4-format file
    std::string programDir;  // holds LM_IDS.DAT, ends in "/"
};

// Fills config.settings from the store (defaults for what is missing, the
// whole table when the store cannot be read), clamps integers to the
// dialog's ranges, and replaces InfoFileList from LM_IDS.DAT when it exists.
void LoadSettings(Configuration& config, const SettingsLocation& where);

// Writes the options in the fixed order with IsConfigured = true. When
// `infoFilesFromDialog` is given, LM_IDS.DAT is replaced with it. Returns
// false (and the reason) when the store or the file could not be written.
bool SaveSettings(const Configuration& config, const SettingsLocation& where,
                  const std::vector<std::string>* infoFilesFromDialog = nullptr,
                  std::string* error = nullptr);

// First-run test: true when the store does not exist or holds no
// IsConfigured value, i.e. the welcome and the settings dialog are due.
bool NeedsFirstRunSetup(const SettingsLocation& where);

// InfoFileList from/to LM_IDS.DAT (one name a line, CR LF when written).
// LoadInfoFileList replaces `list` with the file's non-empty lines and
// returns true; a missing file leaves `list` alone and also returns true;
// false (list unchanged) only when the file exists but cannot be read.
bool LoadInfoFileList(const std::string& path, std::vector<std::string>& list);
bool SaveInfoFileList(const std::string& path, const std::vector<std::string>& list,
                      std::string* error = nullptr);

inline constexpr const char* kInfoFileListName = "LM_IDS.DAT";
// programDir + "LM_IDS.DAT".
std::string InfoFileListPath(const std::string& programDir);
inline constexpr const char* kWelcomeCaption = "Willkommen";
inline constexpr const char* kWelcomeText =
    "Herzlich willkommen zu Lumora !\r\rBevor Sie das Programm benutzen, nehmen Sie sich bitte "
    "die Zeit, in den Einstellungen alles Notwendige festzulegen, um ein reibungsloses Arbeiten "
    "mit Lumora zu garantieren.";
inline constexpr const char* kSaveErrorText =
    "Beim Schreiben der Konfiguration ist ein Fehler aufgetreten; auf die Registrierung kann "
    "nicht zugegriffen werden.";

}  // namespace lumora
