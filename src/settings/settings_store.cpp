#include "settings/settings_store.h"

#include <cstdint>

namespace lumora {

std::string InfoFileListPath(const std::string& programDir) {
    if (programDir.empty() || programDir.back() == '/') return programDir + kInfoFileListName;
    return programDir + "/" + kInfoFileListName;
}

namespace {

// Removes leading and trailing blanks and control characters (codes up to 32).
std::string TrimCode(const std::string& s) {
    auto isJunk = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    std::size_t begin = 0;
    std::size_t end = s.size();
    while (begin < end && isJunk(s[begin])) ++begin;
    while (end > begin && isJunk(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

AppSettings ReadSettings(const TRegistryDefault& reg) {
    const AppSettings d = AppSettings::Defaults();
    AppSettings s;
    s.Resume = reg.ReadBoolDefault("Resume", d.Resume);
    s.OEM = reg.ReadBoolDefault("OEM", d.OEM);
    s.Divide = reg.ReadBoolDefault("Divide", d.Divide);
    s.RemoveEmpty = reg.ReadBoolDefault("RemoveEmpty", d.RemoveEmpty);
    s.ShortName = reg.ReadBoolDefault("ShortName", d.ShortName);
    s.Remove = reg.ReadBoolDefault("Remove", d.Remove);
    s.RemoveChar = reg.ReadBoolDefault("RemoveChar", d.RemoveChar);
    s.RemoveLine = reg.ReadBoolDefault("RemoveLine", d.RemoveLine);
    s.UseFilter = reg.ReadBoolDefault("UseFilter", d.UseFilter);
    s.Size = reg.ReadBoolDefault("Size", d.Size);
    s.Tip = reg.ReadBoolDefault("Tip", d.Tip);
    s.SourceDir = reg.ReadBoolDefault("SourceDir", d.SourceDir);
    s.DivisionChar = reg.ReadStringDefault("DivisionChar", d.DivisionChar);
    s.DivisionCharHex = reg.ReadStringDefault("DivisionCharHex", d.DivisionCharHex);
    s.DivisionCharInt = reg.ReadStringDefault("DivisionCharInt", d.DivisionCharInt);
    s.Font1Name = reg.ReadStringDefault("Font1Name", d.Font1Name);
    s.Align = reg.ReadIntegerDefault("Align", d.Align);
    s.Design = reg.ReadIntegerDefault("Design", d.Design);
    s.Font1Size = reg.ReadIntegerDefault("Font1Size", d.Font1Size);
    s.Width = reg.ReadIntegerDefault("Width", d.Width);
    s.Width2 = reg.ReadIntegerDefault("Width2", d.Width2);
    s.Space1 = reg.ReadIntegerDefault("Space1", d.Space1);
    s.Space2 = reg.ReadIntegerDefault("Space2", d.Space2);
    s.Space3 = reg.ReadIntegerDefault("Space3", d.Space3);
    s.Lines = reg.ReadIntegerDefault("Lines", d.Lines);
    s.Browser = reg.ReadIntegerDefault("Browser", d.Browser);
    s.Mode = reg.ReadIntegerDefault("Mode", d.Mode);
    return s;
}

// The values in the order the store file lists them.
void WriteSettings(const AppSettings& s, RegStore& reg) {
    auto flag = [&reg](const char* name, bool value) { reg.WriteDword(name, value ? 1 : 0); };
    auto number = [&reg](const char* name, int value) {
        reg.WriteDword(name, static_cast<std::uint32_t>(value));
    };
    flag("Resume", s.Resume);
    flag("OEM", s.OEM);
    flag("Divide", s.Divide);
    flag("Shortname", s.ShortName);
    flag("RemoveEmpty", s.RemoveEmpty);
    flag("Tip", s.Tip);
    flag("SourceDir", s.SourceDir);
    flag("Remove", s.Remove);
    flag("RemoveChar", s.RemoveChar);
    flag("RemoveLine", s.RemoveLine);
    flag("UseFilter", s.UseFilter);
    flag("Size", s.Size);
    flag("IsConfigured", true);
    reg.WriteString("DivisionChar", s.DivisionChar);
    reg.WriteString("DivisionCharHex", TrimCode(s.DivisionCharHex));
    reg.WriteString("DivisionCharInt", TrimCode(s.DivisionCharInt));
    reg.WriteString("Font1Name", s.Font1Name);
    number("Align", s.Align);
    number("Design", s.Design);
    number("Font1Size", s.Font1Size);
    number("Width", s.Width);
    number("Width2", s.Width2);
    number("Space1", s.Space1);
    number("Space2", s.Space2);
    number("Space3", s.Space3);
    number("Lines", s.Lines);
    number("Browser", s.Browser);
    number("Mode", s.Mode);
}

}  // namespace

bool TRegistryDefault::ReadBoolDefault(const std::string& name, bool def) const {
    const auto v = store_.ReadDword(name);
    return v ? *v != 0 : def;
}

int TRegistryDefault::ReadIntegerDefault(const std::string& name, int def) const {
    const auto v = store_.ReadDword(name);
    return v ? static_cast<int>(static_cast<std::int32_t>(*v)) : def;
}

std::string TRegistryDefault::ReadStringDefault(const std::string& name,
                                                const std::string& def) const {
    auto v = store_.ReadString(name);
    return v ? std::move(*v) : def;
}

void LoadSettings(Configuration& config, const SettingsLocation& where) {
    // A store that cannot be read stays empty, so every option takes its
    // default rather than a zero width; LM_IDS.DAT is loaded all the same.
    RegStore store;
    store.LoadFile(where.storePath);
    config.settings = ReadSettings(TRegistryDefault(store));
    ClampToDialogRanges(config.settings);
    LoadInfoFileList(InfoFileListPath(where.programDir), config.InfoFileList);
}

bool SaveSettings(const Configuration& config, const SettingsLocation& where,
                  const std::vector<std::string>* infoFilesFromDialog, std::string* error) {
    // Values this program does not know are kept; a store that exists but
    // cannot be read is not overwritten, so nothing in it is lost.
    RegStore old;
    if (!old.LoadFile(where.storePath)) {
        if (error != nullptr) *error = where.storePath + ": cannot be read";
        return false;
    }
    RegStore store;
    WriteSettings(config.settings, store);
    store.MergeMissing(old);
    if (!store.SaveFile(where.storePath, error)) return false;

    if (infoFilesFromDialog != nullptr) {
        const std::string path = InfoFileListPath(where.programDir);
        std::string reason;
        if (!SaveInfoFileList(path, *infoFilesFromDialog, &reason)) {
            if (error != nullptr) *error = path + ": " + reason;
            return false;
        }
    }
    return true;
}

bool NeedsFirstRunSetup(const SettingsLocation& where) {
    RegStore store;
    return !store.LoadFile(where.storePath) || !store.Exists("IsConfigured");
}

}  // namespace lumora
