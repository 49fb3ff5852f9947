// The three folders the program works with: ProgramDir (shipped and user data
// files), WindowsDir (the settings folder, where lumora.ini may lie) and the
// private TempDir. Folders are absolute and end in "/".
#pragma once

#include <string>

namespace lumora {

struct AppDirs {
    std::string programDir;
    std::string windowsDir;
    std::string tempDir;
};

// $XDG_CONFIG_HOME (or ~/.config) + "/Kestrel Rodoridodari/".
std::string SettingsFolder();
// The settings store file inside SettingsFolder().
std::string SettingsStorePath();

// An installed program (<prefix>/bin/x with <prefix>/share/lumora/):
// $XDG_DATA_HOME/Lumora/, seeded from share/lumora/. Otherwise the folder of
// the executable when it may be written to, else $XDG_DATA_HOME/Lumora/
// seeded from the files beside the executable. Seeding copies the shipped
// files and the help folder that the user folder lacks; a file already there
// (perhaps changed by the user) is never replaced.
std::string ResolveProgramDir(const std::string& executablePath);
// <prefix>/share/lumora/ for an executable in <prefix>/bin/ when that folder
// exists; empty otherwise.
std::string InstalledDataDir(const std::string& executablePath);
// Creates $XDG_DATA_HOME/Lumora/ (default ~/.local/share) and copies into it
// what it lacks of the seed files and folders in `shippedDir`; the folder,
// or empty when it cannot be made.
std::string SeedUserDataDir(const std::string& shippedDir);
// The folder of the running executable (from /proc/self/exe).
std::string ExecutablePath();

// A private folder (mode 0700) in the system temp folder, removed with all
// its contents when the object goes. Empty path() when it could not be made.
class PrivateTempDir {
public:
    PrivateTempDir();
    ~PrivateTempDir();
    PrivateTempDir(const PrivateTempDir&) = delete;
    PrivateTempDir& operator=(const PrivateTempDir&) = delete;

    const std::string& path() const { return path_; }
    bool ok() const { return !path_.empty(); }

private:
    std::string path_;
};

// Removes a folder tree without following symbolic links; true on success.
bool RemoveTree(const std::string& path);
// Appends "/" when the text does not end in one (empty stays empty).
std::string WithTrailingSlash(std::string folder);

}  // namespace lumora
